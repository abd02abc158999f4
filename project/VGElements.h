#pragma once
// The overlay items of a project: captions and the logo, placed in pixels of the whole video
// frame (not of the crop).

#include <QString>
#include <cstdint>
#include <memory>
#include <vector>

// Where a caption's lines stand against its point: they start there, end there, or are centred.
enum TTextAlignment : uint8_t { taLeft = 0, taRight = 1, taCenter = 2 };

// Style bits of a caption's font.
enum TFontStyleBit { fsBoldBit = 1, fsItalicBit = 2, fsUnderlineBit = 4, fsStrikeOutBit = 8 };

class TVGElement {
public:
    virtual ~TVGElement() = default;
    int X = 0;
    int Y = 0;
};

class TVGLogo : public TVGElement {
public:
    bool Enabled = false; // "Use custom logo"
    QString FileName;
    int Width = 0;
    int Height = 0;
};

class TTextObj : public TVGElement {
public:
    QString FontName;
    int FontSize = 0;
    int FontStyles = 0; // TFontStyleBit bits
    TTextAlignment Alignment = taLeft;
    int FontColor = 0; // 0x00BBGGRR
    QString Text;      // may hold several lines
};

class TTextList {
public:
    int Count() const { return static_cast<int>(FItems.size()); }
    TTextObj* operator[](int index) const { return FItems[static_cast<size_t>(index)].get(); }
    TTextObj* Add() {
        FItems.push_back(std::make_unique<TTextObj>());
        return FItems.back().get();
    }
    void Delete(int index) { FItems.erase(FItems.begin() + index); }
    void Clear() { FItems.clear(); }
    int IndexOf(const TTextObj* text) const {
        for (int i = 0; i < Count(); ++i)
            if ((*this)[i] == text)
                return i;
        return -1;
    }

private:
    std::vector<std::unique_ptr<TTextObj>> FItems;
};
