// The C interface of the Daktronics parser.
#include "Boundary.h"
#include "ScoreSetOutput.h"

#include <kavvix/clsDaktronicsData.h>

namespace Kavvix::CInterface {

namespace {

using DaktronicsHandle = ParserHandle<clsDaktronicsData>;

HandleTable<DaktronicsHandle> &daktronics() {
    return HandleTable<DaktronicsHandle>::of("Daktronics parser");
}

} // namespace

} // namespace Kavvix::CInterface

using namespace Kavvix::CInterface;

extern "C" {

kavvix_daktronics *kavvix_daktronics_open(void) {
    return guardedOpen<kavvix_daktronics>(
        [] { return daktronics().add<kavvix_daktronics>(std::make_shared<DaktronicsHandle>()); });
}

int kavvix_daktronics_parse(kavvix_daktronics *parser, const char *text, kavvix_score_set *out) {
    return parseThrough(daktronics(), parser, text, out);
}

int kavvix_daktronics_contains_valid_command(kavvix_daktronics *parser, const char *text) {
    return guarded([&] {
        return int(
            daktronics().find(parser)->parser.ContainsValidCommand(textArgument(text, "text")));
    });
}

int kavvix_daktronics_data_is_complete(kavvix_daktronics *parser) {
    return guarded([&] { return int(daktronics().find(parser)->parser.DataIsComplete()); });
}

int kavvix_daktronics_set_judges_required(kavvix_daktronics *parser, int judges) {
    return guarded([&] {
        const auto handle = daktronics().find(parser);
        if (judges < 0 || judges > 32767)
            throw Failure{KAVVIX_ERROR_INVALID_ARGUMENT,
                          QStringLiteral("judges required: 0 to 32767, not %1").arg(judges)};
        handle->parser.setNumberOfJudgesRequired(qint16(judges));
        return KAVVIX_OK;
    });
}

int kavvix_daktronics_initialize(kavvix_daktronics *parser) {
    return guarded([&] {
        daktronics().find(parser)->parser.InitializeItems();
        return KAVVIX_OK;
    });
}

int kavvix_daktronics_close(kavvix_daktronics *parser) {
    return guarded([&] {
        daktronics().remove(parser);
        return KAVVIX_OK;
    });
}

} // extern "C"
