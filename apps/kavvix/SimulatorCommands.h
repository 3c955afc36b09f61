#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

namespace Kavvix {
class ConsoleSimulator;
class cDiveResult;
} // namespace Kavvix

namespace KavvixCli {

// --commands of kavvix simulate: steers the running simulator from standard input, one JSON
// object per line, so that a test sends a judged dive at a moment of its own choosing.
//   {"dive": {"DiveRound": 1, "DivingOrder": 3, ...}}  sends a judged dive (the fields are
//                                                     named as cDiveResult's properties)
//   {"lineRate": 300}                                  paces the console's output (0: at once)
//   {"rejectNext": "02"}                               answers the next frame with that code
class SimulatorCommands : public QObject {
    Q_OBJECT
public:
    explicit SimulatorCommands(Kavvix::ConsoleSimulator &simulator, QObject *parent = nullptr);
    ~SimulatorCommands() override;

signals:
    void diveRequested(const Kavvix::cDiveResult &dive);
    void problem(const QString &text);

private:
    void readInput();
    void run(const QByteArray &line);

    Kavvix::ConsoleSimulator &m_simulator;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QByteArray m_pending;
};

} // namespace KavvixCli
