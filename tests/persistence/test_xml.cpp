// Saving to and loading from XML: the file format, the lenient reading rules, and bad input.

#include "common/Log.h"
#include "common/MsgBox.h"
#include "common/SysInfo.h"
#include "tests/persistence/TestClasses.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class XmlFile : public testing::Test {
protected:
    void SetUp() override {
        RegisterTestClasses();
        FFile = FDir.filePath("settings.xml");
    }
    std::unique_ptr<TTestConfig> NewConfig() const {
        auto config = std::make_unique<TTestConfig>();
        config->ConfigFile = FFile;
        return config;
    }
    // Writes a UTF-8 file: the root element around `inner`; loads it into a fresh object.
    std::unique_ptr<TTestConfig> LoadText(const QString& inner, const QString& root = "Config") {
        WriteFile(FFile, ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + ">" + inner +
                          "</" + root + ">")
                             .toUtf8());
        auto config = NewConfig();
        config->Load();
        return config;
    }
    QByteArray FileBytes() const {
        QFile file(FFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    QString FileText() const {
        return QStringDecoder(QStringDecoder::Utf16LE).decode(FileBytes().mid(2));
    }

    QTemporaryDir FDir;
    QString FFile;
};

} // namespace

TEST_F(XmlFile, SaveWritesUtf16OneElementPerLineWithNestedObjectsAndListItems) {
    auto config = NewConfig();
    config->Shapes->Add(new TTestCircle);
    config->Shapes->ItemAs<TTestCircle>(0)->Radius = 0.5;
    // Numbers are written the same whatever the user's locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ASSERT_TRUE(config->Save(true));
    QLocale::setDefault(saved);
    EXPECT_TRUE(FileBytes().startsWith("\xFF\xFE<\0?\0"));
    const QStringList expected = {
        "<?xml version=\"1.0\" encoding=\"UTF-16\"?>",
        "<Config project=\"Test\" version=\"" + GetProVersion({}, true) + "\">",
        "  <Count>7</Count>",
        "  <Enabled>True</Enabled>",
        "  <Shade>shDark</Shade>",
        "  <Ratio>1.5</Ratio>",
        "  <Title>title</Title>",
        "  <Note/>",
        "  <Shades>shLight,shVivid</Shades>",
        "  <Big>5000000000</Big>",
        "  <Nested>",
        "    <Depth>0</Depth>",
        "    <Label/>",
        "  </Nested>",
        "  <Shapes>",
        "    <TTestCircle>",
        "      <Width>0</Width>",
        "      <Name/>",
        "      <Radius>0.5</Radius>",
        "    </TTestCircle>",
        "  </Shapes>",
        "</Config>",
    };
    EXPECT_EQ(FileText().split('\n', Qt::SkipEmptyParts), expected);
}

TEST_F(XmlFile, EveryKindRoundTripsWithAwkwardTextAndExtremes) {
    auto config = NewConfig();
    config->SetCount(INT_MIN);
    config->Enabled = false;
    config->Ratio = 0.1;
    config->Title = QString("  <a & \"b\">\r\n\ttab ") + QChar(0x01) + QChar(0xD800);
    config->Note = "Ωmega 日本語 😀";
    config->Shades = TShades{};
    config->Big = INT64_MAX;
    config->Nested->Label = "   ";
    config->Shapes->Add(New<TTestShape>("box", 3));
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    ASSERT_TRUE(config->Save(true));
    QLocale::setDefault(saved);

    auto loaded = NewConfig();
    loaded->Shades = TShades{shDark};
    int changes = 0;
    loaded->OnChange = [&changes](TProjObj*) { ++changes; };
    loaded->Load();
    ASSERT_TRUE(loaded->Loaded);
    EXPECT_EQ(loaded->Count(), INT_MIN);
    EXPECT_FALSE(loaded->Enabled);
    EXPECT_EQ(loaded->Ratio, 0.1);
    // Characters XML cannot carry are left out; everything else comes back.
    EXPECT_EQ(loaded->Title, "  <a & \"b\">\r\n\ttab ");
    EXPECT_EQ(loaded->Note, config->Note);
    EXPECT_TRUE(loaded->Shades.IsEmpty());
    EXPECT_EQ(loaded->Big, INT64_MAX);
    EXPECT_EQ(loaded->Nested->Label, "   ");
    ASSERT_EQ(loaded->Shapes->Count(), 1);
    EXPECT_EQ(loaded->Shapes->ItemAs<TTestShape>(0)->Width(), 3);
    // Loading sets Modified but sends no change notification.
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(loaded->Modified && loaded->Nested->Modified && !loaded->Loading);
}

TEST_F(XmlFile, ReadingIsLenient) {
    // Names in any case, any order; the later duplicate wins; unknown elements, comments, text
    // and the root's name do not matter.
    auto config = LoadText("<!-- note -->text<UNKNOWN>5</UNKNOWN><count>1</count><COUNT>2</COUNT>"
                           "<ratio>2,5</ratio><shade>SHVIVID</shade><nested><label>x</label>"
                           "<Nonsense/></nested><shapes><ttestcircle><radius>2</radius>"
                           "</ttestcircle></shapes>",
                           "Whatever");
    EXPECT_TRUE(config->Loaded);
    EXPECT_EQ(config->Count(), 2);
    EXPECT_EQ(config->Ratio, 2.5);
    EXPECT_EQ(config->Shade, shVivid);
    EXPECT_EQ(config->Nested->Label, "x");
    EXPECT_EQ(config->Title, "title"); // no element: the default stays
    ASSERT_NE(config->Shapes->ItemAs<TTestCircle>(0), nullptr);
    EXPECT_EQ(config->Shapes->ItemAs<TTestCircle>(0)->Radius, 2);

    // Numbers that do not convert become 0; unknown identifiers leave enumerations and sets.
    config = LoadText("<Count/><Ratio>1e999</Ratio><Big>abc</Big><Enabled>yes</Enabled>"
                      "<Shade>7</Shade><Shades>shLight,shPale</Shades>");
    EXPECT_EQ(config->Count(), 0);
    EXPECT_EQ(config->Ratio, 0);
    EXPECT_EQ(config->Big, 0);
    EXPECT_TRUE(config->Enabled);
    EXPECT_EQ(config->Shade, shDark);
    EXPECT_EQ(config->Shades, (TShades{shLight, shVivid}));
    for (const char* numbers : {"<Count>2147483648</Count><Ratio>nan</Ratio><Big>9e99</Big>",
                                "<Count>0x10</Count><Ratio>1,000.5</Ratio><Big>1.0</Big>"}) {
        config = LoadText(numbers);
        EXPECT_EQ(config->Count(), 0) << numbers;
        EXPECT_EQ(config->Ratio, 0) << numbers;
        EXPECT_EQ(config->Big, 0) << numbers;
    }
    config = LoadText("<Enabled>fALSE</Enabled><Shades>[shDark, shLight]</Shades>");
    EXPECT_FALSE(config->Enabled);
    EXPECT_EQ(config->Shades, (TShades{shLight, shDark}));
    config = LoadText("<Enabled>1</Enabled><Shades></Shades>");
    EXPECT_TRUE(config->Enabled);
    EXPECT_TRUE(config->Shades.IsEmpty());
}

TEST_F(XmlFile, AnUnregisteredItemClassEndsTheLoadKeepingWhatWasRead) {
    auto config = LoadText("<Count>3</Count><Shapes><TTestShape><Name>one</Name></TTestShape>"
                           "<TMystery/><TTestShape/></Shapes><Title>after</Title>");
    EXPECT_FALSE(config->Loaded);
    EXPECT_EQ(config->Count(), 3);
    EXPECT_EQ(Names(*config->Shapes), "one");
    EXPECT_EQ(config->Title, "title");
    EXPECT_FALSE(config->Loading || config->Shapes->Loading || config->Modified);
    config->SetCount(4); // notifications work again
    EXPECT_TRUE(config->Modified);
}

TEST_F(XmlFile, LoadReadsOnceAfterSuccessAndAgainAfterFailure) {
    auto config = LoadText("<Count>1</Count");
    EXPECT_FALSE(config->Loaded);
    EXPECT_EQ(config->Count(), 7);
    WriteFile(FFile, "<Config><Count>2</Count></Config>");
    config->Load();
    EXPECT_TRUE(config->Loaded);
    WriteFile(FFile, "<Config><Count>3</Count></Config>");
    config->Load();
    EXPECT_EQ(config->Count(), 2);
}

TEST_F(XmlFile, BadFilesLeaveTheDefaultsWithoutCrashOrHang) {
    auto saved = NewConfig();
    saved->SetCount(55);
    ASSERT_TRUE(saved->Save(true));
    const QByteArray good = FileBytes();
    QByteArray deep = "<Config>", binary;
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xFF);
    const QByteArray bad[] = {
        {},
        good.left(good.size() / 2 + 1),
        good.left(good.size() - 20),
        "<Config><Count>1</Cout></Config>",
        "just text",
        binary,
        deep,
        "<Config>" + QByteArray(20 * 1024 * 1024, 'x') + "</Config>", // far beyond a settings file
    };
    for (const QByteArray& bytes : bad) {
        WriteFile(FFile, bytes);
        auto config = NewConfig();
        config->Load();
        EXPECT_FALSE(config->Loaded || IsValidXMLStream(bytes)) << bytes.left(30).toHex().data();
        EXPECT_EQ(config->Count(), 7);
    }
    EXPECT_TRUE(IsValidXMLStream(good));

    // Megabytes of text in one element: no number, the text kept whole.
    const QString longText(4 * 1024 * 1024, '7');
    auto config = LoadText("<Count>" + longText + "</Count><Title>" + longText + "</Title>");
    EXPECT_EQ(config->Count(), 0);
    EXPECT_EQ(config->Title.size(), longText.size());
}

// A damaged file is kept beside the settings for recovery by hand, with one log line; a missing
// file is not "damaged" and a good one is left alone.
TEST_F(XmlFile, ADamagedFileIsKeptBesideWithALogLine) {
    TLog log(FDir.filePath("log.txt"), QStringLiteral("MX_TEST_XmlFile_Log"));
    SetLogObj(&log);
    const QString kept = FFile + ".bad";
    auto missing = NewConfig();
    missing->Load();
    EXPECT_FALSE(QFile::exists(kept));

    WriteFile(FFile, "<Config><Count>1</Cout></Config>");
    NewConfig()->Load();
    QFile copy(kept);
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("<Config><Count>1</Cout></Config>"));
    copy.close();
    // A later damaged file replaces the older copy; a good file makes none.
    WriteFile(FFile, "just text");
    NewConfig()->Load();
    ASSERT_TRUE(copy.open(QIODevice::ReadOnly));
    EXPECT_EQ(copy.readAll(), QByteArray("just text"));
    copy.close();
    QFile::remove(kept);
    WriteFile(FFile, "<Config><Count>2</Count></Config>");
    auto good = NewConfig();
    good->Load();
    EXPECT_TRUE(good->Loaded);
    EXPECT_FALSE(QFile::exists(kept));
    SetLogObj(nullptr);

    const QStringList lines = ReadLines(FDir.filePath("log.txt"));
    ASSERT_EQ(lines.size(), 2);
    for (const QString& line : lines) {
        EXPECT_TRUE(line.contains("settings file damaged")) << qPrintable(line);
        EXPECT_TRUE(line.contains(kept)) << qPrintable(line);
    }
}

TEST_F(XmlFile, ClassesHoldingThemselvesLoadButNotWithoutBound) {
    auto nest = [](int levels) {
        QDomDocument document;
        QDomElement at = document.createElement("Root");
        document.appendChild(at);
        for (int i = 0; i < levels; ++i) {
            QDomElement children = document.createElement("Children");
            QDomElement node = document.createElement("TTestNode");
            QDomElement tag = document.createElement("Tag");
            tag.appendChild(document.createTextNode(QString::number(i)));
            node.appendChild(tag);
            children.appendChild(node);
            at.appendChild(children);
            at = node;
        }
        return document;
    };
    TTestNode tree;
    tree.LoadFromXML(nest(20).documentElement());
    const TTestNode* node = &tree;
    int levels = 0;
    for (; node->Children->Count() == 1; ++levels)
        node = node->Children->ItemAs<TTestNode>(0);
    EXPECT_EQ(levels, 20);
    EXPECT_EQ(node->Tag, 19);
    EXPECT_THROW(tree.LoadFromXML(nest(5000).documentElement()), EPersistError);
    EXPECT_FALSE(tree.Loading);
}

TEST_F(XmlFile, FailedSavesLeaveTheOldFileAndSpeakOnlyWhenAsked) {
    auto config = NewConfig();
    ASSERT_TRUE(config->Save(true));
    const QByteArray before = FileBytes();
    QStringList boxes;
    const TMsgBoxHandler old = SetMsgBoxHandler([&boxes](const TMsgBoxRequest& request) {
        boxes.append(request.Text);
        return int(mrOK);
    });
    // A document that does not parse again: an element name XML does not allow.
    QDomDocument document;
    document.appendChild(document.createElement("1bad name"));
    EXPECT_FALSE(TProjObj::SaveDocToFile(document, FFile, true));
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_FALSE(TProjObj::SaveDocToFile(document, FFile, false));
    EXPECT_EQ(boxes, QStringList({"error occurs when save xml file."}));
    EXPECT_EQ(FileBytes(), before);

    // A folder that does not exist, and a folder in place of the file.
    config->ConfigFile = FDir.filePath("missing/settings.xml");
    EXPECT_FALSE(config->Save(true));
    config->ConfigFile = FDir.path();
    EXPECT_FALSE(config->Save(true));
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_FALSE(config->Save(false));
    EXPECT_EQ(boxes.size(), 2);
    SetMsgBoxHandler(old);
    EXPECT_EQ(QDir(FDir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"settings.xml"}));
}
