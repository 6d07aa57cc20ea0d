// Headers of the engine's own floor and of the floors it stands on.
#include "platform/codepage.h"
#include "rynengine/rynexport.h"
#include "textloader/text_writer.h"
#include "transport/options_text.h"
