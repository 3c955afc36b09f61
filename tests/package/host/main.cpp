// Creates every public class by name, the way a host reaches them late-bound: all six through
// Kavvix::Kavvix, all but the dialog through the core alone.
#include <kavvix/kavvix.h>

#include <QCoreApplication>
#include <QMetaObject>
#include <cstdio>
#include <cstring>
#include <memory>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const char *names[] = {"Kavvix.clsColoradoData", "Kavvix.clsDaktronicsData",
                           "Kavvix.cDakProcessor",   "Kavvix.cDiveResult",
                           "Kavvix.cDakResponse",    "Kavvix.cDakUploadForm"};
    int failures = 0;
    for (const char *name : names) {
        std::unique_ptr<QObject> object(Kavvix::createObject(QString::fromLatin1(name)));
        if (!object) {
            std::fprintf(stderr, "cannot create %s\n", name);
            ++failures;
            continue;
        }
        std::printf("%s: %s\n", name, object->metaObject()->className());
        // The core alone creates every class but the dialog.
        const bool dialog = std::strcmp(name, "Kavvix.cDakUploadForm") == 0;
        std::unique_ptr<QObject> core(Kavvix::Core::createObject(QString::fromLatin1(name)));
        if (bool(core) == dialog) {
            std::fprintf(stderr, "Kavvix::Core::createObject(%s) is wrong\n", name);
            ++failures;
        }
    }
    std::unique_ptr<QObject> colorado(
        Kavvix::createObject(QStringLiteral("Kavvix.clsColoradoData")));
    QString version;
    if (!colorado ||
        !QMetaObject::invokeMethod(colorado.get(), "DLLVersion", Q_RETURN_ARG(QString, version)) ||
        version != QLatin1String("1.6.0")) {
        std::fprintf(stderr, "DLLVersion is not 1.6.0\n");
        ++failures;
    }
    return failures == 0 ? 0 : 1;
}
