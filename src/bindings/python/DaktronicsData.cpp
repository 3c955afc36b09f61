// kavvix.DaktronicsData: Daktronics score-data packets.
#include "PythonBindings.h"

#include <kavvix/clsDaktronicsData.h>

namespace Kavvix::Python {

namespace {

class DaktronicsData {
public:
    DaktronicsData() { m_parser.open(std::make_shared<clsDaktronicsData>()); }

    Bindings::ScoreSetValues parse(const py::handle &text) {
        return parseText(*m_parser.get(), text);
    }
    bool containsValidCommand(const py::handle &text) {
        return m_parser.get()->ContainsValidCommand(textOf(text));
    }
    bool dataIsComplete() const { return m_parser.get()->DataIsComplete(); }
    bool haveJudgesScores() const { return m_parser.get()->HaveJudgesScores(); }
    int judgesRequired() const { return m_parser.get()->ExpectedNumberOfJudges(); }
    void setJudgesRequired(int judges) {
        const auto parser = m_parser.get();
        if (judges < 0 || judges > 32767)
            throw py::value_error("number_of_judges_required is 0 to 32767");
        parser->setNumberOfJudgesRequired(qint16(judges));
    }
    void initializeItems() { m_parser.get()->InitializeItems(); }
    void close() { m_parser.close(); }

private:
    Closable<clsDaktronicsData> m_parser{"DaktronicsData"};
};

} // namespace

void bindDaktronicsData(py::module_ &m) {
    py::class_<DaktronicsData> cls(
        m, "DaktronicsData",
        "Reads Daktronics score-data packets; fields accumulate until initialize_items().");
    cls.def(py::init<>())
        .def("parse", &DaktronicsData::parse, py::arg("text"),
             "Stores the fields one packet (str or bytes) carries and returns the whole score "
             "set. Raises ParseError with the parser's message when the packet is unreadable.")
        .def("contains_valid_command", &DaktronicsData::containsValidCommand, py::arg("text"),
             "True when the text is a score-data packet.")
        .def_property_readonly("data_is_complete", &DaktronicsData::dataIsComplete,
                               "Round, diver, dive, position, DD and the judges required known.")
        .def_property_readonly("have_judges_scores", &DaktronicsData::haveJudgesScores)
        .def_property("number_of_judges_required", &DaktronicsData::judgesRequired,
                      &DaktronicsData::setJudgesRequired, "0: no number of judges required.")
        .def("initialize_items", &DaktronicsData::initializeItems,
             "Back to an empty score set; the number of judges required is kept.");
    addClosing(cls);
}

} // namespace Kavvix::Python
