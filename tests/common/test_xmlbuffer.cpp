// The limited XML reader shared by the settings and language files: its depth and size limits.

#include "common/XmlBuffer.h"

#include <QBuffer>
#include <QDomDocument>
#include <gtest/gtest.h>

namespace {

QByteArray Nested(int levels) {
    return QByteArray("<a>").repeated(levels) + QByteArray("</a>").repeated(levels);
}

} // namespace

TEST(XmlBuffer, NestingUpToTheLimitParsesOneLevelMoreIsRefused) {
    QDomDocument document;
    QString error;
    ASSERT_TRUE(ParseXMLBuffer(Nested(MaxXMLDepth), document, &error)) << qPrintable(error);
    EXPECT_EQ(document.documentElement().tagName(), "a");

    QDomDocument untouched;
    EXPECT_FALSE(ParseXMLBuffer(Nested(MaxXMLDepth + 1), untouched, &error));
    EXPECT_EQ(error, "elements nested too deeply");
    EXPECT_TRUE(untouched.isNull());
    // Far deeper and never closed: refused at the limit, not after a walk through it all.
    EXPECT_FALSE(ParseXMLBuffer(QByteArray("<a>").repeated(100000), untouched, &error));
    EXPECT_EQ(error, "elements nested too deeply");
}

TEST(XmlBuffer, SizeLimitAndTheBytesReadFromAFile) {
    const QByteArray head = "<a>", tail = "</a>";
    QByteArray big =
        head + QByteArray(MaxXMLBufferSize - head.size() - tail.size() + 1, 'x') + tail;
    ASSERT_EQ(big.size(), MaxXMLBufferSize + 1);
    QDomDocument document;
    QString error;
    EXPECT_FALSE(ParseXMLBuffer(big, document, &error));
    EXPECT_EQ(error, "document too large");
    EXPECT_FALSE(ParseXMLBuffer(QByteArray(), document, &error));
    EXPECT_EQ(error, "empty document");
    EXPECT_FALSE(ParseXMLBuffer("<a><b></a>", document, &error));
    EXPECT_FALSE(error.isEmpty());

    // A file is read one byte beyond the limit, so a larger one is still told apart.
    big += QByteArray(1000, ' ');
    QBuffer device(&big);
    ASSERT_TRUE(device.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadXMLBytes(device).size(), MaxXMLBufferSize + 1);
    QBuffer small;
    small.setData("<a>1</a>");
    ASSERT_TRUE(small.open(QIODevice::ReadOnly));
    EXPECT_EQ(ReadXMLBytes(small), "<a>1</a>");
}
