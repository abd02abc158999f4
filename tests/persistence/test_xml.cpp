// Saving to and loading from XML: the file format, the lenient reading rules, and bad input.

#include "common/MsgBox.h"
#include "common/SysInfo.h"
#include "tests/persistence/TestClasses.h"
#include "tests/support/TestUtils.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class XmlFile : public testing::Test {
protected:
    void SetUp() override {
        RegisterTestClasses();
        ASSERT_TRUE(FDir.isValid());
        FFile = FDir.filePath(QStringLiteral("settings.xml"));
    }

    // A settings object reading and writing the test file.
    std::unique_ptr<TTestConfig> NewConfig() const {
        auto config = std::make_unique<TTestConfig>();
        config->ConfigFile = FFile;
        return config;
    }

    // Writes a file of UTF-8 text: the root element around `inner`.
    void WriteConfig(const QString& inner, const QString& root = QStringLiteral("Config")) const {
        const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<") +
                             root + QLatin1Char('>') + inner + QLatin1String("</") + root +
                             QLatin1Char('>');
        ASSERT_TRUE(WriteFile(FFile, text.toUtf8()));
    }

    QByteArray FileBytes() const {
        QFile file(FFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The saved file as text (it is UTF-16 with a byte-order mark).
    QString FileText() const {
        QStringDecoder decoder(QStringDecoder::Utf16LE, QStringDecoder::Flag::Stateless);
        const QByteArray bytes = FileBytes();
        return decoder.decode(bytes.mid(2));
    }

    QTemporaryDir FDir;
    QString FFile;
};

} // namespace

TEST_F(XmlFile, SaveWritesUtf16WithDeclarationRootAndOneElementPerLine) {
    auto config = NewConfig();
    ASSERT_TRUE(config->Save(true));
    const QByteArray bytes = FileBytes();
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));

    const QString version = GetProVersion(QString(), true);
    const QStringList expected = {
        QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"),
        QStringLiteral("<Config project=\"Test\" version=\"%1\">").arg(version),
        QStringLiteral("  <Count>7</Count>"),
        QStringLiteral("  <Enabled>True</Enabled>"),
        QStringLiteral("  <Shade>shDark</Shade>"),
        QStringLiteral("  <Ratio>1.5</Ratio>"),
        QStringLiteral("  <Title>title</Title>"),
        QStringLiteral("  <Note/>"),
        QStringLiteral("  <Shades>shLight,shVivid</Shades>"),
        QStringLiteral("  <Big>5000000000</Big>"),
        QStringLiteral("  <Nested>"),
        QStringLiteral("    <Depth>0</Depth>"),
        QStringLiteral("    <Label/>"),
        QStringLiteral("  </Nested>"),
        QStringLiteral("  <Shapes/>"),
        QStringLiteral("</Config>"),
    };
    EXPECT_EQ(FileText().split(QLatin1Char('\n'), Qt::SkipEmptyParts), expected);
    EXPECT_EQ(version, QStringLiteral("3.4.0.0"));
}

TEST_F(XmlFile, ListItemsAreNamedAfterTheirClassAndNestToAnyDepth) {
    auto config = NewConfig();
    auto* shape = new TTestShape;
    shape->Name = QStringLiteral("box");
    shape->SetWidth(3);
    config->Shapes->Add(shape);
    auto* circle = new TTestCircle;
    circle->Radius = 0.5;
    config->Shapes->Add(circle);
    ASSERT_TRUE(config->Save(true));
    const QString text = FileText();
    EXPECT_TRUE(
        text.contains(QStringLiteral("  <Shapes>\n    <TTestShape>\n      <Width>3</Width>\n"
                                     "      <Name>box</Name>\n    </TTestShape>\n"
                                     "    <TTestCircle>\n      <Width>0</Width>\n"
                                     "      <Name/>\n      <Radius>0.5</Radius>\n"
                                     "    </TTestCircle>\n  </Shapes>\n")))
        << qPrintable(text);

    auto loaded = NewConfig();
    loaded->Load();
    ASSERT_TRUE(loaded->Loaded);
    ASSERT_EQ(loaded->Shapes->Count(), 2);
    EXPECT_EQ(loaded->Shapes->ItemAs<TTestShape>(0)->Name, QStringLiteral("box"));
    EXPECT_EQ(loaded->Shapes->ItemAs<TTestShape>(0)->Width(), 3);
    ASSERT_NE(loaded->Shapes->ItemAs<TTestCircle>(1), nullptr);
    EXPECT_DOUBLE_EQ(loaded->Shapes->ItemAs<TTestCircle>(1)->Radius, 0.5);
    EXPECT_EQ(loaded->Shapes->Items(1)->Owner, loaded->Shapes.get());
}

TEST_F(XmlFile, EveryKindRoundTripsIncludingAwkwardTextAndExtremes) {
    auto config = NewConfig();
    config->SetCount(std::numeric_limits<int>::min());
    config->Enabled = false;
    config->Shade = shLight;
    config->Ratio = 0.1;
    config->Title = QStringLiteral("  <a & \"b\">\r\n\ttab  ");
    config->Note = QStringLiteral("Ωmega 日本語 😀 \u200B");
    config->Shades = TShades{};
    config->Big = std::numeric_limits<qint64>::max();
    config->Nested->Label = QStringLiteral("   "); // blanks only
    config->Nested->Depth = -1;
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::French, QLocale::France));
    ASSERT_TRUE(config->Save(true));
    QLocale::setDefault(saved);
    EXPECT_TRUE(FileText().contains(QStringLiteral("<Ratio>0.1</Ratio>")));

    auto loaded = NewConfig();
    loaded->SetCount(1);
    loaded->Shades = TShades{shDark};
    loaded->Load();
    ASSERT_TRUE(loaded->Loaded);
    EXPECT_EQ(loaded->Count(), std::numeric_limits<int>::min());
    EXPECT_FALSE(loaded->Enabled);
    EXPECT_EQ(loaded->Shade, shLight);
    EXPECT_DOUBLE_EQ(loaded->Ratio, 0.1);
    EXPECT_EQ(loaded->Title, config->Title);
    EXPECT_EQ(loaded->Note, config->Note);
    EXPECT_TRUE(loaded->Shades.IsEmpty());
    EXPECT_EQ(loaded->Big, std::numeric_limits<qint64>::max());
    EXPECT_EQ(loaded->Nested->Label, QStringLiteral("   "));
    EXPECT_EQ(loaded->Nested->Depth, -1);
    EXPECT_TRUE(loaded->Modified);
    EXPECT_FALSE(loaded->Loading);
}

TEST_F(XmlFile, LoadingSetsModifiedButSendsNoChangeNotification) {
    WriteConfig(QStringLiteral("<Count>12</Count><Nested><Depth>2</Depth></Nested>"));
    auto config = NewConfig();
    int changes = 0;
    config->OnChange = [&changes](TProjObj*) { ++changes; };
    int afterLoads = 0;
    struct TCounting : TTestConfig {
        int* Calls = nullptr;
        void AfterLoad() override { ++*Calls; }
    } counting;
    counting.ConfigFile = FFile;
    counting.Calls = &afterLoads;

    config->Load();
    EXPECT_EQ(config->Count(), 12); // through the notifying setter
    EXPECT_EQ(changes, 0);
    EXPECT_TRUE(config->Modified);
    EXPECT_TRUE(config->Nested->Modified);
    counting.Load();
    counting.Load();
    EXPECT_EQ(afterLoads, 1);
}

TEST_F(XmlFile, ReadingIsLenientAboutCaseOrderDuplicatesAndUnknownElements) {
    WriteConfig(QStringLiteral("<!-- a comment -->text between<UNKNOWN>5</UNKNOWN>"
                               "<count>1</count><COUNT>2</COUNT>"
                               "<ratio>2,5</ratio><shade>SHVIVID</shade>"
                               "<nested><label>x</label><Nonsense/></nested>"),
                QStringLiteral("Whatever"));
    auto config = NewConfig();
    config->Load();
    EXPECT_TRUE(config->Loaded);
    EXPECT_EQ(config->Count(), 2); // the later duplicate wins
    EXPECT_DOUBLE_EQ(config->Ratio, 2.5);
    EXPECT_EQ(config->Shade, shVivid);
    EXPECT_EQ(config->Nested->Label, QStringLiteral("x"));
    EXPECT_EQ(config->Title, QStringLiteral("title")); // no element: default kept
    EXPECT_EQ(config->Big, 5000000000LL);
}

TEST_F(XmlFile, NumbersThatDoNotConvertBecomeZeroEnumerationsAndSetsStay) {
    struct TCase {
        const char* Inner;
        bool EnabledBefore;
        int Count;
        double Ratio;
        qint64 Big;
        bool Enabled;
        TShades Shades;
    };
    const TShades start{shLight, shVivid};
    const qint64 big = 5000000000LL;
    const TCase cases[] = {
        {"<Count/><Ratio></Ratio><Big> </Big>", true, 0, 0, 0, true, start},
        {"<Count>99999999999</Count><Ratio>1e999</Ratio><Big>abc</Big>", true, 0, 0, 0, true,
         start},
        {"<Enabled>false</Enabled><Shades>[shLight, shDark]</Shades>", true, 7, 1.5, big, false,
         TShades{shLight, shDark}},
        {"<Enabled>TRUE</Enabled><Shades>shDark shLight</Shades>", false, 7, 1.5, big, true,
         TShades{shLight, shDark}},
        {"<Enabled>1</Enabled><Shades>shLight,shPale</Shades>", true, 7, 1.5, big, true, start},
        {"<Enabled>yes</Enabled><Shades></Shades><Shade>7</Shade>", false, 7, 1.5, big, false,
         TShades{}},
    };
    for (const TCase& c : cases) {
        WriteConfig(QString::fromLatin1(c.Inner));
        auto config = NewConfig();
        config->Enabled = c.EnabledBefore;
        config->Load();
        EXPECT_TRUE(config->Loaded) << c.Inner;
        EXPECT_EQ(config->Count(), c.Count) << c.Inner;
        EXPECT_DOUBLE_EQ(config->Ratio, c.Ratio) << c.Inner;
        EXPECT_EQ(config->Big, c.Big) << c.Inner;
        EXPECT_EQ(config->Enabled, c.Enabled) << c.Inner;
        EXPECT_EQ(config->Shades, c.Shades) << c.Inner;
        EXPECT_EQ(config->Shade, shDark) << c.Inner;
    }
}

TEST_F(XmlFile, AnUnregisteredItemClassEndsTheLoadKeepingWhatWasRead) {
    WriteConfig(QStringLiteral("<Count>3</Count><Shapes><TTestShape><Name>one</Name></TTestShape>"
                               "<TMystery/><TTestShape><Name>two</Name></TTestShape></Shapes>"
                               "<Title>after</Title>"));
    auto config = NewConfig();
    config->Load();
    EXPECT_FALSE(config->Loaded);
    EXPECT_EQ(config->Count(), 3);
    ASSERT_EQ(config->Shapes->Count(), 1);
    EXPECT_EQ(config->Shapes->ItemAs<TTestShape>(0)->Name, QStringLiteral("one"));
    EXPECT_EQ(config->Title, QStringLiteral("title"));
    EXPECT_FALSE(config->Loading);
    EXPECT_FALSE(config->Shapes->Loading);
    EXPECT_FALSE(config->Modified);
    // Notifications work again after the failed load.
    config->SetCount(4);
    EXPECT_TRUE(config->Modified);
}

TEST_F(XmlFile, LoadReadsOnceAfterSuccessAndAgainAfterFailure) {
    WriteConfig(QStringLiteral("<Count>1</Count"));
    auto config = NewConfig();
    config->Load();
    EXPECT_FALSE(config->Loaded);
    EXPECT_EQ(config->Count(), 7);

    WriteConfig(QStringLiteral("<Count>2</Count>"));
    config->Load();
    EXPECT_TRUE(config->Loaded);
    EXPECT_EQ(config->Count(), 2);

    WriteConfig(QStringLiteral("<Count>3</Count>"));
    config->Load();
    EXPECT_EQ(config->Count(), 2);

    // No file at all: the defaults stay, nothing is loaded.
    auto missing = std::make_unique<TTestConfig>();
    missing->ConfigFile = FDir.filePath(QStringLiteral("none.xml"));
    missing->Load();
    EXPECT_FALSE(missing->Loaded);
    EXPECT_EQ(missing->Count(), 7);
}

TEST_F(XmlFile, Utf16FilesInEitherByteOrderAndUtf8FilesLoad) {
    const QString text = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-16\"?>"
                                        "<Config><Title>Zürich 😀</Title></Config>");
    for (auto encoding : {QStringConverter::Utf16BE, QStringConverter::Utf16LE}) {
        QStringEncoder encoder(encoding, QStringConverter::Flag::WriteBom);
        ASSERT_TRUE(WriteFile(FFile, encoder.encode(text)));
        auto config = NewConfig();
        config->Load();
        EXPECT_TRUE(config->Loaded);
        EXPECT_EQ(config->Title, QStringLiteral("Zürich 😀"));
    }
    WriteConfig(QStringLiteral("<Title>Zürich 😀</Title>"));
    auto config = NewConfig();
    config->Load();
    EXPECT_EQ(config->Title, QStringLiteral("Zürich 😀"));
}

TEST_F(XmlFile, BadFilesLeaveTheDefaultsAndNeverCrash) {
    auto saved = NewConfig();
    saved->SetCount(55);
    ASSERT_TRUE(saved->Save(true));
    const QByteArray good = FileBytes();

    QByteArray deep = "<Config>";
    for (int i = 0; i < 200000; ++i)
        deep += "<a>";
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char((i * 7919) & 0xFF);
    const QByteArray bad[] = {
        QByteArray(),                                   // zero bytes
        good.left(good.size() / 2 + 1),                 // truncated UTF-16, odd length
        good.left(good.size() - 20),                    // truncated at an even length
        QByteArray("<Config><Count>1</Count>"),         // never closed
        QByteArray("<Config><Count>1</Cout></Config>"), // mismatched tag
        QByteArray("just some text"),
        binary,
        deep,
    };
    for (const QByteArray& bytes : bad) {
        ASSERT_TRUE(WriteFile(FFile, bytes));
        auto config = NewConfig();
        config->Load();
        EXPECT_FALSE(config->Loaded) << bytes.left(40).toHex().constData();
        EXPECT_EQ(config->Count(), 7);
        EXPECT_FALSE(IsValidXMLStream(bytes));
    }
    EXPECT_TRUE(IsValidXMLStream(good));
}

TEST_F(XmlFile, HugeTextAndDeepObjectNestingAreHandled) {
    // A large element text: a number that is not a number, and a long title kept whole.
    const QString longText(4 * 1024 * 1024, QLatin1Char('7'));
    WriteConfig(QStringLiteral("<Count>") + longText + QStringLiteral("</Count><Title>") +
                longText + QStringLiteral("</Title>"));
    auto config = NewConfig();
    config->Load();
    EXPECT_TRUE(config->Loaded);
    EXPECT_EQ(config->Count(), 0);
    EXPECT_EQ(config->Title.size(), longText.size());

    // A file far larger than any settings file is not read at all.
    WriteConfig(QStringLiteral("<Title>") + QString(20 * 1024 * 1024, QLatin1Char('x')) +
                QStringLiteral("</Title>"));
    auto huge = NewConfig();
    huge->Load();
    EXPECT_FALSE(huge->Loaded);
    EXPECT_EQ(huge->Title, QStringLiteral("title"));

    // A tree class nested within the parser's limit loads; the layer refuses to recurse
    // without bound through a document built in memory.
    auto nest = [](int levels) {
        QDomDocument document;
        QDomElement root = document.createElement(QStringLiteral("Root"));
        document.appendChild(root);
        QDomElement at = root;
        for (int i = 0; i < levels; ++i) {
            QDomElement children = document.createElement(QStringLiteral("Children"));
            QDomElement node = document.createElement(QStringLiteral("TTestNode"));
            QDomElement tag = document.createElement(QStringLiteral("Tag"));
            tag.appendChild(document.createTextNode(QString::number(i)));
            node.appendChild(tag);
            children.appendChild(node);
            at.appendChild(children);
            at = node;
        }
        return document;
    };
    TTestNode shallow;
    shallow.LoadFromXML(nest(20).documentElement());
    const TTestNode* node = &shallow;
    int levels = 0;
    while (node->Children->Count() == 1) {
        node = node->Children->ItemAs<TTestNode>(0);
        ++levels;
    }
    EXPECT_EQ(levels, 20);
    EXPECT_EQ(node->Tag, 19);

    TTestNode deepTree;
    EXPECT_THROW(deepTree.LoadFromXML(nest(5000).documentElement()), EPersistError);
    EXPECT_FALSE(deepTree.Loading);
}

TEST_F(XmlFile, SavingFailsCleanlyAndLeavesTheOldFile) {
    auto config = NewConfig();
    ASSERT_TRUE(config->Save(true));
    const QByteArray before = FileBytes();

    // A document that does not parse again (an element name XML does not allow).
    QDomDocument document;
    QDomElement root = document.createElement(QStringLiteral("Config"));
    document.appendChild(root);
    root.appendChild(document.createElement(QStringLiteral("1bad name")));
    std::vector<TMsgBoxRequest> boxes;
    const TMsgBoxHandler old = SetMsgBoxHandler([&boxes](const TMsgBoxRequest& request) {
        boxes.push_back(request);
        return int(mrOK);
    });
    EXPECT_FALSE(TProjObj::SaveDocToFile(document, FFile, true));
    EXPECT_TRUE(boxes.empty());
    EXPECT_FALSE(TProjObj::SaveDocToFile(document, FFile, false));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, QStringLiteral("error occurs when save xml file."));
    EXPECT_EQ(FileBytes(), before);

    // A folder that does not exist, and a folder in place of the file.
    config->ConfigFile = FDir.filePath(QStringLiteral("missing/settings.xml"));
    EXPECT_FALSE(config->Save(true));
    config->ConfigFile = FDir.path();
    EXPECT_FALSE(config->Save(true));
    EXPECT_EQ(boxes.size(), 1u);
    EXPECT_FALSE(config->Save(false));
    EXPECT_EQ(boxes.size(), 2u);
    SetMsgBoxHandler(old);

    // Nothing but the file itself is left in its folder.
    const QStringList entries = QDir(FDir.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(entries, QStringList({QStringLiteral("settings.xml")}));
    EXPECT_FALSE(QFileInfo::exists(FDir.filePath(QStringLiteral("missing"))));
}

TEST_F(XmlFile, TextThatXmlCannotCarryIsLeftOutRatherThanBreakingTheFile) {
    auto config = NewConfig();
    config->Title = QStringLiteral("a") + QChar(0x01) + QStringLiteral("b") + QChar(0xD800) +
                    QStringLiteral("c");
    ASSERT_TRUE(config->Save(true));
    auto loaded = NewConfig();
    loaded->Load();
    ASSERT_TRUE(loaded->Loaded);
    EXPECT_EQ(loaded->Title, QStringLiteral("abc"));
}
