#include "common/Registry.h"
#include "tests/support/TestUtils.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
const QString key = QStringLiteral("SOFTWARE\\Classes\\QOPAVG.ProjFile");
}

TEST(RegistryStore, ReadsValuesWithoutRegardToLetterCase) {
    TRegistryStore store;
    store.ParseText(QStringLiteral("; comment\n[software\\classes\\qopavg.projfile]\n"
                                   "  INSGUID = {ABC}  \nother=1\n[Elsewhere]\ninsguid=x\n"));
    EXPECT_EQ(store.Value(key, QStringLiteral("insguid")), QStringLiteral("{ABC}"));
    EXPECT_EQ(store.Value(QStringLiteral("elsewhere"), QStringLiteral("InsGuid")),
              QStringLiteral("x"));
    EXPECT_TRUE(store.Value(key, QStringLiteral("missing")).isEmpty());
    EXPECT_TRUE(
        store.Value(QStringLiteral("SOFTWARE\\Other"), QStringLiteral("insguid")).isEmpty());
}

TEST(RegistryStore, EntriesBeforeAnySectionAndMalformedLinesAreIgnored) {
    TRegistryStore store;
    store.ParseText(QStringLiteral("insguid=orphan\n[%1]\nno equals sign\n=nameless\n").arg(key));
    EXPECT_FALSE(store.HasValue(key, QStringLiteral("insguid")));
    EXPECT_TRUE(store.Value(key, QString()).isEmpty());
}

TEST(RegistryStore, RoundTripsThroughAFileAndReplacesValues) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.ini"));
    TRegistryStore store;
    store.SetValue(key, QStringLiteral("insguid"), QStringLiteral("{1}"));
    store.SetValue(key, QStringLiteral("INSGUID"), QStringLiteral("{2}"));
    ASSERT_TRUE(store.SaveToFile(file));
    TRegistryStore loaded;
    ASSERT_TRUE(loaded.LoadFromFile(file));
    EXPECT_EQ(loaded.Value(key, QStringLiteral("insguid")), QStringLiteral("{2}"));
    EXPECT_EQ(ReadTextFile(file).count(QStringLiteral("=")), 1);
}

TEST(ReadRegString, GivesEmptyTextForMissingFileKeyOrValueAndOtherRoots) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("registry.ini"));
    SetRegistryFileName(file);
    EXPECT_TRUE(ReadRegString(TRegRoot::LocalMachine, key, QStringLiteral("insguid")).isEmpty());
    ASSERT_TRUE(WriteFile(file, QStringLiteral("[%1]\ninsguid={G}\n").arg(key).toUtf8()));
    EXPECT_EQ(ReadRegString(TRegRoot::LocalMachine, key, QStringLiteral("insguid")),
              QStringLiteral("{G}"));
    EXPECT_TRUE(ReadRegString(TRegRoot::CurrentUser, key, QStringLiteral("insguid")).isEmpty());
    ASSERT_TRUE(WriteFile(file, QByteArray("\x00\xff\xfe binary", 10)));
    EXPECT_TRUE(ReadRegString(TRegRoot::LocalMachine, key, QStringLiteral("insguid")).isEmpty());
    SetRegistryFileName({});
}
