// The C interface of the Colorado parser.
#include "Boundary.h"
#include "ScoreSetOutput.h"

#include <kavvix/clsColoradoData.h>

namespace Kavvix::CInterface {

namespace {

using ColoradoHandle = ParserHandle<clsColoradoData>;

HandleTable<ColoradoHandle> &colorados() {
    return HandleTable<ColoradoHandle>::of("Colorado parser");
}

} // namespace

} // namespace Kavvix::CInterface

using namespace Kavvix::CInterface;

extern "C" {

kavvix_colorado *kavvix_colorado_open(void) {
    return guardedOpen<kavvix_colorado>(
        [] { return colorados().add<kavvix_colorado>(std::make_shared<ColoradoHandle>()); });
}

int kavvix_colorado_parse(kavvix_colorado *parser, const char *text, kavvix_score_set *out) {
    return parseThrough(colorados(), parser, text, out);
}

int kavvix_colorado_close(kavvix_colorado *parser) {
    return guarded([&] {
        colorados().remove(parser);
        return KAVVIX_OK;
    });
}

} // extern "C"
