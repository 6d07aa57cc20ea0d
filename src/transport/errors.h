// The named failures of the transfer framework. Each carries the system's own message
// text (process code page).
#pragma once

#include "platform/error.h"

namespace ryn {

RYN_DECLARE_ERROR(ETransError, ERynError);
RYN_DECLARE_ERROR(ETransEngineError, ETransError);
RYN_DECLARE_ERROR(ETransConfigError, ETransError);
RYN_DECLARE_ERROR(ETransFieldsError, ETransError);
RYN_DECLARE_ERROR(ETransFrameError, ETransError);
RYN_DECLARE_ERROR(ETransFromError, ETransError);

// A value that cannot be read as its target type. Variant conversion failures are
// swallowed by the value assignment; a conversion error reaches the caller.
RYN_DECLARE_ERROR(EConvertError, ERynError);
RYN_DECLARE_ERROR(EVariantError, ERynError);

}  // namespace ryn
