#pragma once
// Reading XML documents from files the user can change (settings, language files) with limits
// on size and nesting, checked with a streaming pass before the document model sees the bytes:
// building a document model of deeply nested elements takes far too long, and neither file kind
// is anywhere near these limits.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

class QDomDocument;
class QIODevice;

// The largest document read; a file is read up to one byte beyond, so a bigger one is refused.
constexpr qint64 MaxXMLBufferSize = 16 * 1024 * 1024;
// The deepest nesting of elements read.
constexpr int MaxXMLDepth = 256;

// Parses an XML buffer (UTF-16 with a byte-order mark, UTF-8, or whatever its declaration says)
// into `document`. False, with the reason in `error`, for an empty, too large or too deeply
// nested buffer or one that does not parse.
[[nodiscard]] bool ParseXMLBuffer(const QByteArray& buffer, QDomDocument& document,
                                  QString* error = nullptr);

// The first MaxXMLBufferSize + 1 bytes of an open file: enough for ParseXMLBuffer to tell a
// too-large file without reading all of it.
QByteArray ReadXMLBytes(QIODevice& file);
