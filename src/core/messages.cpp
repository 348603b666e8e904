#include "core/messages.h"

const char* KepMessageText(KepMessage message) {
    switch (message) {
#define KEP_MESSAGE(id, text)                                                                      \
    case KepMessage::id:                                                                           \
        return text;
#include "core/messages.def"
#undef KEP_MESSAGE
    }
    return "";
}
