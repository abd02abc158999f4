#pragma once
// A numeric edit: right-aligned text that only takes the characters of a number. Reading is
// lenient: text that is not a number gives the caller's fallback.

#include <QLineEdit>

enum TNumberDataType { dfInteger, dfFloat };

class TNumberEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit TNumberEdit(QWidget* parent = nullptr, TNumberDataType type = dfInteger);

    void SetDataType(TNumberDataType type);
    TNumberDataType DataType() const { return FType; }

    int AsInteger(int fallback = 0) const;
    double AsFloat(double fallback = 0) const;
    // Shows the number ("#0" for whole numbers); raises textChanged like typing does.
    void SetAsInteger(int value);
    void SetAsFloat(double value, int decimals = 2);

private:
    TNumberDataType FType;
};
