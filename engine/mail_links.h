// E-mail words of a reply as "mailto:" links: every other piece of the text
// goes to the sink as it is.
#pragma once

#include "net/output_sink.h"

// Appends one received chunk (up to its first zero byte), e-mail words as
// "mailto:" links.
void EmitReplyChunk(OutputSink& sink, const char* text);
