// The value classes: ScoreSet, DiveResult, the receivers' events and JobResult.
#include "Values.h"

#include "bindings/common/HostValues.h"

#include <iterator>
#include <vector>

namespace Kavvix::Python {

namespace {

using Bindings::DiveResultValues;
using Bindings::ScoreSetValues;

const char *const JudgeNames[] = {"Judge1Score", "Judge2Score", "Judge3Score", "Judge4Score",
                                  "Judge5Score", "Judge6Score", "Judge7Score", "Judge8Score",
                                  "Judge9Score", "Judge10Score"};
const char *const JNames[] = {"J1Score", "J2Score", "J3Score", "J4Score", "J5Score",
                              "J6Score", "J7Score", "J8Score", "J9Score"};

// __repr__ and __eq__ over the given attributes.
template <class Class> void addValueMethods(Class &cls, std::initializer_list<const char *> names) {
    const std::vector<const char *> attributes(names);
    cls.def("__repr__", [attributes](py::handle self) {
        std::string text = py::str(py::type::handle_of(self).attr("__name__")).cast<std::string>();
        text += '(';
        for (std::size_t i = 0; i < attributes.size(); ++i)
            text += (i ? ", " : "") + std::string(attributes[i]) + '=' +
                    py::repr(self.attr(attributes[i])).cast<std::string>();
        return text + ')';
    });
    cls.def("__eq__", [attributes](py::handle self, py::handle other) {
        if (!py::isinstance(other, py::type::handle_of(self)))
            return false;
        for (const char *name : attributes)
            if (!self.attr(name).equal(other.attr(name)))
                return false;
        return true;
    });
}

void bindScoreSet(py::module_ &m) {
    py::class_<ScoreSetValues> cls(m, "ScoreSet", "A parser's score set after a parse.");
    cls.def_readonly("DataIsValid", &ScoreSetValues::DataIsValid)
        .def_readonly("PrimaryDiver", &ScoreSetValues::PrimaryDiver)
        .def_readonly("SynchroPartner", &ScoreSetValues::SynchroPartner)
        .def_readonly("DiverNumber", &ScoreSetValues::DiverNumber)
        .def_readonly("CurrentRound", &ScoreSetValues::CurrentRound)
        .def_readonly("DiveNumber", &ScoreSetValues::DiveNumber)
        .def_readonly("DivePosition", &ScoreSetValues::DivePosition)
        .def_readonly("DiveDD", &ScoreSetValues::DiveDD);
    for (std::size_t i = 0; i < std::size(JudgeNames); ++i)
        cls.def_property_readonly(JudgeNames[i],
                                  [i](const ScoreSetValues &v) { return v.JudgeScores[i]; });
    cls.def_readonly("DiveTotal", &ScoreSetValues::DiveTotal)
        .def_readonly("StartingScore", &ScoreSetValues::StartingScore)
        .def_readonly("CurrentTotal", &ScoreSetValues::CurrentTotal);
    addValueMethods(cls, {"DataIsValid",  "PrimaryDiver", "SynchroPartner", "DiverNumber",
                          "CurrentRound", "DiveNumber",   "DivePosition",   "DiveDD",
                          "Judge1Score",  "Judge2Score",  "Judge3Score",    "Judge4Score",
                          "Judge5Score",  "Judge6Score",  "Judge7Score",    "Judge8Score",
                          "Judge9Score",  "Judge10Score", "DiveTotal",      "StartingScore",
                          "CurrentTotal"});
}

void bindDiveResult(py::module_ &m) {
    py::class_<DiveResultValues> cls(m, "DiveResult",
                                     "One judged dive the timing console reported.");
    cls.def_readonly("EventNumberN", &DiveResultValues::EventNumberN)
        .def_readonly("EventNumberA", &DiveResultValues::EventNumberA)
        .def_readonly("Stage", &DiveResultValues::Stage)
        .def_readonly("InsertOrder", &DiveResultValues::InsertOrder)
        .def_readonly("DiveRound", &DiveResultValues::DiveRound)
        .def_readonly("DivingOrder", &DiveResultValues::DivingOrder)
        .def_readonly("DiveNumber", &DiveResultValues::DiveNumber)
        .def_readonly("DivePos", &DiveResultValues::DivePos)
        .def_readonly("DiveDD", &DiveResultValues::DiveDD);
    for (std::size_t i = 0; i < std::size(JNames); ++i)
        cls.def_property_readonly(JNames[i],
                                  [i](const DiveResultValues &v) { return v.JScores[i]; });
    cls.def_readonly("BALKflag", &DiveResultValues::BALKflag)
        .def_readonly("FAILflag", &DiveResultValues::FAILflag)
        .def_readonly("DiveTotal", &DiveResultValues::DiveTotal)
        .def_readonly("TotalScore", &DiveResultValues::TotalScore)
        .def_readonly("BoardLevel", &DiveResultValues::BoardLevel);
    addValueMethods(cls, {"EventNumberN", "EventNumberA", "Stage",     "InsertOrder", "DiveRound",
                          "DivingOrder",  "DiveNumber",   "DivePos",   "DiveDD",      "J1Score",
                          "J2Score",      "J3Score",      "J4Score",   "J5Score",     "J6Score",
                          "J7Score",      "J8Score",      "J9Score",   "BALKflag",    "FAILflag",
                          "DiveTotal",    "TotalScore",   "BoardLevel"});
}

} // namespace

void bindValues(py::module_ &m) {
    bindScoreSet(m);
    bindDiveResult(m);

    py::class_<SoftwareVersion> version(m, "SoftwareVersion", "The console's software version.");
    version.def(py::init<std::string>(), py::arg("version"))
        .def_readonly("version", &SoftwareVersion::version);
    addValueMethods(version, {"version"});

    py::class_<CommError> commError(m, "CommError",
                                    "The console reported an error or sent an unusable reply.");
    commError.def(py::init<std::string>(), py::arg("message"))
        .def_readonly("message", &CommError::message);
    addValueMethods(commError, {"message"});

    py::class_<FrameRejected> rejected(
        m, "FrameRejected", "A frame from the console failed its checks and was dropped.");
    rejected.def(py::init<std::string, py::bytes>(), py::arg("check"), py::arg("frame"))
        .def_readonly("check", &FrameRejected::check)
        .def_readonly("frame", &FrameRejected::frame);
    addValueMethods(rejected, {"check", "frame"});

    py::class_<ResponseOK> ok(m, "ResponseOK", "The console accepted the last frame.");
    ok.def(py::init<>());
    addValueMethods(ok, {});

    py::class_<PacketError> packetError(
        m, "PacketError", "The console refused the last frame, or its answer was damaged.");
    packetError
        .def(py::init<std::string, std::string>(), py::arg("message"),
             py::arg("response_code") = "")
        .def_readonly("message", &PacketError::message)
        .def_readonly("response_code", &PacketError::response_code);
    addValueMethods(packetError, {"message", "response_code"});

    py::class_<JobOutcome> result(m, "JobResult", "How an upload or a connection test ended.");
    result.def_readonly("kind", &JobOutcome::kind)
        .def_readonly("succeeded", &JobOutcome::succeeded)
        .def_readonly("response_code", &JobOutcome::response_code)
        .def_readonly("detail", &JobOutcome::detail)
        .def_readonly("validation", &JobOutcome::validation);
    addValueMethods(result, {"kind", "succeeded", "response_code", "detail", "validation"});
}

} // namespace Kavvix::Python
