#include "RecordOption.h"

#include "Command.h"

namespace KavvixCli::RecordOption {

void describe(QCommandLineParser &parser) {
    parser.addOption({QStringLiteral("record"),
                      QStringLiteral("Append every byte received, with its arrival time, to a "
                                     "recording (kavvix simulate --replay plays it)."),
                      QStringLiteral("FILE")});
}

std::unique_ptr<Kavvix::Recording::Writer> open(const QCommandLineParser &parser) {
    if (!parser.isSet(QStringLiteral("record")))
        return nullptr;
    auto writer = std::make_unique<Kavvix::Recording::Writer>();
    if (!writer->open(parser.value(QStringLiteral("record"))))
        throw UserError(writer->errorText());
    return writer;
}

} // namespace KavvixCli::RecordOption
