#include "common/SysInfo.h"

#include <QGuiApplication>
#include <QLocale>
#include <QScreen>
#include <QSysInfo>
#include <chrono>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

QString GetProVersion(const QString& exePath, bool shortForm) {
    Q_UNUSED(exePath);
    const QString number = QStringLiteral("%1.%2.%3.%4")
                               .arg(VG_VERSION_MAJOR)
                               .arg(VG_VERSION_MINOR)
                               .arg(VG_VERSION_PATCH)
                               .arg(VG_VERSION_TWEAK);
    if (shortForm)
        return number;
    return QStringLiteral("%1 (%2, Qt %3)")
        .arg(number, QSysInfo::buildCpuArchitecture(), QString::fromLatin1(qVersion()));
}

QString GetWindowsVersion() {
    return QSysInfo::prettyProductName();
}

QString GetWindowsVerNum() {
    return QSysInfo::kernelVersion();
}

bool IsWin64() {
    return QSysInfo::currentCpuArchitecture().contains(QLatin1String("64"));
}

int LangIDFromLocaleName(const QString& localeName) {
    // Language and territory to the Windows identifier; a language alone maps to its main
    // territory.
    struct TEntry {
        const char* Name;
        int Id;
    };
    static const TEntry table[] = {
        {"en_US", 0x0409}, {"en_GB", 0x0809}, {"en_AU", 0x0C09}, {"en_CA", 0x1009},
        {"en_NZ", 0x1409}, {"en_IE", 0x1809}, {"en_ZA", 0x1C09}, {"en_IN", 0x4009},
        {"zh_CN", 0x0804}, {"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004},
        {"de_DE", 0x0407}, {"de_AT", 0x0C07}, {"de_CH", 0x0807}, {"fr_FR", 0x040C},
        {"fr_BE", 0x080C}, {"fr_CA", 0x0C0C}, {"fr_CH", 0x100C}, {"es_ES", 0x0C0A},
        {"es_MX", 0x080A}, {"it_IT", 0x0410}, {"ja_JP", 0x0411}, {"ko_KR", 0x0412},
        {"nl_NL", 0x0413}, {"nl_BE", 0x0813}, {"pt_BR", 0x0416}, {"pt_PT", 0x0816},
        {"ru_RU", 0x0419}, {"pl_PL", 0x0415}, {"sv_SE", 0x041D}, {"da_DK", 0x0406},
        {"nb_NO", 0x0414}, {"fi_FI", 0x040B}, {"cs_CZ", 0x0405}, {"hu_HU", 0x040E},
        {"tr_TR", 0x041F}, {"el_GR", 0x0408}, {"he_IL", 0x040D}, {"ar_SA", 0x0401},
        {"th_TH", 0x041E}, {"vi_VN", 0x042A}, {"uk_UA", 0x0422}, {"ro_RO", 0x0418},
        {"id_ID", 0x0421}, {"hi_IN", 0x0439},
    };
    const QString name =
        localeName.section(QLatin1Char('.'), 0, 0).replace(QLatin1Char('-'), QLatin1Char('_'));
    for (const auto& entry : table)
        if (name.compare(QLatin1String(entry.Name), Qt::CaseInsensitive) == 0)
            return entry.Id;
    const QString language = name.section(QLatin1Char('_'), 0, 0);
    for (const auto& entry : table)
        if (QString::fromLatin1(entry.Name)
                .section(QLatin1Char('_'), 0, 0)
                .compare(language, Qt::CaseInsensitive) == 0)
            return entry.Id;
    return 0x0409;
}

int GetSystemDefaultLangID() {
    return LangIDFromLocaleName(QLocale::system().name());
}

QSize GetScreenSize() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return {};
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return screen->size();
    return {};
}

int GetScreenDPI() {
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        return 0;
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        return qRound(screen->logicalDotsPerInch());
    return 0;
}

quint32 GetTickCount() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<quint32>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void ReturnBigBlocksToSystem() {
#if defined(__GLIBC__)
    // A fixed threshold: the allocator's own grows with every big block freed (up to 32 MB) and
    // then serves pictures from the heap, which it rarely gives back.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    // Fixing it also fixes the heap's trim threshold at 128 KB: each frame's buffers freed at the
    // heap's top went back to the system and came again as fresh zeroed pages with the next
    // frame. Free memory up to 16 MB stays for reuse.
    mallopt(M_TRIM_THRESHOLD, 16 << 20);
    mallopt(M_ARENA_MAX, 2);
#endif
}

bool CpuHasAvx2() {
#if defined(__x86_64__) || defined(__i386__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
#else
    return false;
#endif
}
