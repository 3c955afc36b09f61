#pragma once

#include "PythonBindings.h"

#include <string>

// The plain objects the module hands out: the receivers' events and a job's result (the score
// set and the dive result are the shared value types of bindings/common).
namespace Kavvix::Python {

struct SoftwareVersion {
    std::string version;
};

struct CommError {
    std::string message;
};

struct FrameRejected {
    std::string check;
    py::bytes frame;
};

struct ResponseOK {};

struct PacketError {
    std::string message;
    std::string response_code; // "" for a damaged answer
};

struct JobOutcome {
    std::string kind;
    bool succeeded = false;
    std::string response_code;
    std::string detail;
    // For "validation-failed": one dict per problem the checks found (see _kavvix.pyi).
    py::list validation;
};

} // namespace Kavvix::Python
