#pragma once
// The guard around the building of a movement. A movement that cannot be built is still posted,
// with an empty body, and the export moves past it; the log tells why.

#include <functional>
#include <optional>
#include <string_view>

#include "base/log.h"
#include "sales/movement_builder.h"

namespace varenta {

// Runs build. When it raises an error, writes two lines, the batch text built so far (always
// empty, since the batch is made last) and errorLine(prefix, error), and answers nothing.
//
// A database error is let through instead, unless the database refused a value of the sale's own
// rows (a conversion, an overflow, malformed text: EDatabaseError::valueFault): a lost link, a lock
// conflict or a shutdown says nothing about the document, and treating it as a failed build would
// post an empty body and move the mark past a sale never sent; it propagates like the errors of the
// statements before the build, and the same sale is tried again. A refused value would fail the
// same way on every try and hold every sale after it: that is the sale's own fault, a failed build.
std::optional<Movement> guardedBuild(ServiceLog& log, std::string_view prefix,
                                     const std::function<Movement()>& build);

}  // namespace varenta
