// Process-wide state shared by every command: the loaded maps, the last error
// and the settings. One instance, touched only from the host's script thread.
#pragma once

#include <cstdint>
#include <string>

#include "build/build_state.h"
#include "core/CList.h"
#include "core/Cstring.h"
#include "core/messages.h"
#include "map/kep_model.h"

// The settings scripts give for later loads ("KEP INITIAL OBJECT" and the
// rest); a map's AMBIENT entity property sets the ambient colour, which then
// holds for later loads too.
struct KEP_LoadSettings {
    int32_t initialObject = 1000;
    int32_t initialImage = 1000;
    float mapOffset[3] = {0.0f, 0.0f, 0.0f};
    int32_t mediaIncluded = 0;
    uint32_t ambientColour = 0;
};

struct PluginState {
    KEP_Map* currentMap = nullptr;
    COwningList<KEP_Map> maps; // "KEP CLEAR" removes one
    int32_t mapNumberCounter = 0;
    int32_t lastErrorCode = 0;
    Cstring lastErrorText;

    KEP_LoadSettings settings;
    uint32_t blendMode = 8; // stored only
    KEP_BuildState build;
};

extern PluginState g_plugin;

// Last-error convention: reset on entry, set once on failure.
void ResetLastError();
// Messages come from the one table (core/messages.def); one with a
// conversion takes its argument.
void SetLastError(KepMessage message);
void SetLastError(KepMessage message, const char* argument);
void SetLastError(KepMessage message, int32_t argument);
// A text already made from the table, such as a load failure's message.
void SetLastErrorText(const char* text);

// String results: releases the previous host string and returns `text` as a
// new host string, or null for an empty (or null) text.
char* ReturnHostString(char* previous, const char* text);
