// kavvix.ColoradoData: the Colorado judging console's text.
#include "PythonBindings.h"

#include <kavvix/clsColoradoData.h>

namespace Kavvix::Python {

namespace {

class ColoradoData {
public:
    ColoradoData() { m_parser.open(std::make_shared<clsColoradoData>()); }

    Bindings::ScoreSetValues parse(const py::handle &text) {
        return parseText(*m_parser.get(), text);
    }
    void close() { m_parser.close(); }

private:
    Closable<clsColoradoData> m_parser{"ColoradoData"};
};

} // namespace

void bindColoradoData(py::module_ &m) {
    py::class_<ColoradoData> cls(m, "ColoradoData",
                                 "Reads a Colorado judging console's text into a score set.");
    cls.def(py::init<>())
        .def("parse", &ColoradoData::parse, py::arg("text"),
             "Parses one text (str, or bytes as the serial line gave them) and returns the "
             "score set; each parse stands alone. A text without a record gives a score set "
             "whose DataIsValid is False. Raises ParseError with the parser's message when the "
             "record is short or unreadable.");
    addClosing(cls);
}

} // namespace Kavvix::Python
