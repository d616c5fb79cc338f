#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <cstdlib>
#include <gtest/gtest.h>

// Every test program runs headless and keeps its settings, runtime folder and trash inside one
// temporary home, so that it neither reads nor changes the settings of the person running it.
int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? QByteArray("offscreen") : qgetenv("QT_QPA_PLATFORM"));
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/companydesk-test-XXXXXX"));
    if (!home.isValid())
        return 2;
    const QString base = home.path();
    for (const char* sub : {"config", "runtime", "data", "home"})
        QDir().mkpath(base + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(base + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    qputenv("XDG_CONFIG_HOME", (base + QStringLiteral("/config")).toLocal8Bit());
    qputenv("XDG_RUNTIME_DIR", (base + QStringLiteral("/runtime")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", (base + QStringLiteral("/data")).toLocal8Bit());
    qputenv("HOME", (base + QStringLiteral("/home")).toLocal8Bit());

    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
