#include "SimulatorCommands.h"

#include <kavvix/cDiveResult.h>
#include <kavvix/simulator/ConsoleSimulator.h>

#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

namespace KavvixCli {

SimulatorCommands::SimulatorCommands(Kavvix::ConsoleSimulator &simulator, QObject *parent)
    : QObject(parent), m_simulator(simulator),
      m_notifier(std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read)) {
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SimulatorCommands::readInput);
}

SimulatorCommands::~SimulatorCommands() = default;

void SimulatorCommands::readInput() {
    char buffer[4096];
    const ssize_t got = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (got <= 0) {
        // End of input: the simulator goes on as it is until interrupted.
        m_notifier->setEnabled(false);
        return;
    }
    m_pending.append(buffer, got);
    qsizetype end = 0;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        const QByteArray line = m_pending.left(end).trimmed();
        m_pending.remove(0, end + 1);
        if (!line.isEmpty())
            run(line);
    }
}

void SimulatorCommands::run(const QByteArray &line) {
    const QJsonObject command = QJsonDocument::fromJson(line).object();
    if (command.contains(QLatin1String("dive"))) {
        Kavvix::cDiveResult dive;
        const QJsonObject fields = command.value(QLatin1String("dive")).toObject();
        for (auto it = fields.begin(); it != fields.end(); ++it)
            if (!dive.setProperty(it.key().toLatin1().constData(), it.value().toVariant()))
                emit problem(QStringLiteral("a judged dive has no field %1").arg(it.key()));
        emit diveRequested(dive);
    } else if (command.contains(QLatin1String("lineRate"))) {
        m_simulator.setLineRate(command.value(QLatin1String("lineRate")).toInt());
    } else if (command.contains(QLatin1String("rejectNext"))) {
        m_simulator.rejectFrame(int(m_simulator.frames().size()) + 1,
                                command.value(QLatin1String("rejectNext")).toString());
    } else {
        emit problem(QStringLiteral("not a command: %1").arg(QString::fromUtf8(line)));
    }
}

} // namespace KavvixCli
