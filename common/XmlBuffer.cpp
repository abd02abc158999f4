#include "common/XmlBuffer.h"

#include <QDomDocument>
#include <QIODevice>
#include <QXmlStreamReader>

bool ParseXMLBuffer(const QByteArray& buffer, QDomDocument& document, QString* error) {
    auto fail = [error](const QString& text) {
        if (error)
            *error = text;
        return false;
    };
    if (buffer.isEmpty())
        return fail(QStringLiteral("empty document"));
    if (buffer.size() > MaxXMLBufferSize)
        return fail(QStringLiteral("document too large"));
    QXmlStreamReader reader(buffer);
    int depth = 0;
    while (!reader.atEnd()) {
        const QXmlStreamReader::TokenType token = reader.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth > MaxXMLDepth)
                return fail(QStringLiteral("elements nested too deeply"));
        } else if (token == QXmlStreamReader::EndElement) {
            --depth;
        }
    }
    if (reader.hasError())
        return fail(reader.errorString());
    QDomDocument parsed;
    QString message;
    if (!parsed.setContent(buffer, &message))
        return fail(message);
    document = parsed;
    return true;
}

QByteArray ReadXMLBytes(QIODevice& file) {
    return file.read(MaxXMLBufferSize + 1);
}
