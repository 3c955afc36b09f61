// Creates every public class by name, the way a host reaches them late-bound: all six through
// Kavvix::Kavvix, all but the dialog through the core alone.
#include <kavvix/kavvix.h>

#include <QCoreApplication>
#include <cstdio>
#include <memory>

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    int failures = 0;
    for (const char *name : {"clsColoradoData", "clsDaktronicsData", "cDakProcessor", "cDiveResult",
                             "cDakResponse", "cDakUploadForm"}) {
        const QString creationName = QStringLiteral("Kavvix.") + QLatin1String(name);
        const std::unique_ptr<QObject> object(Kavvix::createObject(creationName));
        const std::unique_ptr<QObject> core(Kavvix::Core::createObject(creationName));
        const bool dialog = creationName.endsWith(QLatin1String("Form"));
        if (!object || bool(core) == dialog) {
            std::fprintf(stderr, "cannot create %s, or the core alone can (%d)\n", name,
                         bool(core));
            ++failures;
        }
    }
    return failures;
}
