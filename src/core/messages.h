// Every message a script can see through "KEP ERROR TEXT", spelled once.
// Code names a message by its id; the text is looked up here only.
#pragma once

enum class KepMessage : int {
#define KEP_MESSAGE(id, text) id,
#include "core/messages.def"
#undef KEP_MESSAGE
};

// The message's text; those ending in a conversion take one argument.
const char* KepMessageText(KepMessage message);
