// "KEP FLAGS", "KEP PROPERTY COUNT", "KEP PROPERTY", "KEP PROPERTY BY KEY"
// and their direct-call forms: flags and key/value properties of groups,
// entities, meshes and pivots.
#include "commands/command_support.h"
#include "commands/component_codes.h"
#include "core/bits_and_case.h"
#include "map/kep_model.h"
#include "plugin/exports.h"
#include "plugin/plugin_state.h"

namespace {

enum PropertySelector : int32_t { kKey = 0, kValue = 1 };

bool CarriesProperties(int32_t component) {
    return component == kGroup || component == kEntity || component == kMesh || component == kPivot;
}

bool ComponentIndexValid(const KEP_Map& map, int32_t component, int32_t index) {
    if (index < 0) return false;
    switch (component) {
    case kGroup:
        // The default group heads the list and has no index of its own.
        return index < map.groups.Count() - 1;
    case kEntity:
        return index < map.entities.Count();
    case kMesh:
        return index < map.meshes.Count();
    case kPivot:
        return index < map.pivots.Count();
    default:
        return false;
    }
}

// The record's properties; null when nothing is found there.
KEP_Properties* FindProperties(KEP_Map& map, int32_t component, int32_t index) {
    switch (component) {
    case kGroup: {
        KEP_Group* group = GroupAtIndex(index);
        return group ? &group->properties : nullptr;
    }
    case kEntity: {
        KEP_Entity* entity = map.entities.At(index);
        return entity ? &entity->properties : nullptr;
    }
    case kMesh: {
        KEP_Mesh* mesh = map.meshes.At(index);
        return mesh ? &mesh->properties : nullptr;
    }
    case kPivot: {
        KEP_Entity* entity = map.pivots.At(index);
        return entity ? &entity->properties : nullptr;
    }
    default:
        return nullptr;
    }
}

// The properties a string or direct-call command reads; null after setting
// the message when there is no map, the code carries no properties or the
// index names no record.
KEP_Properties* PropertiesOrFail(int32_t component, int32_t index) {
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return nullptr;
    if (!CarriesProperties(component)) {
        SetLastError(KepMessage::InvalidComponentType);
        return nullptr;
    }
    KEP_Properties* properties = ComponentIndexValid(*map, component, index)
                                     ? FindProperties(*map, component, index)
                                     : nullptr;
    if (!properties) SetLastError(KepMessage::InvalidComponentIndex);
    return properties;
}

// The key or value text that "KEP PROPERTY" names; null after setting the
// message on failure.
const char* PropertyTextOrFail(int32_t component, int32_t selector, int32_t componentIndex,
                               int32_t propertyIndex) {
    KEP_Properties* properties = PropertiesOrFail(component, componentIndex);
    if (!properties) return nullptr;
    if (selector != kKey && selector != kValue) {
        SetLastError(KepMessage::InvalidPropertyType);
        return nullptr;
    }
    if (propertyIndex < 0 || propertyIndex >= properties->Count()) {
        SetLastError(KepMessage::InvalidPropertyIndex);
        return nullptr;
    }
    return selector == kKey ? properties->Key(propertyIndex) : properties->Value(propertyIndex);
}

// The value of the first key equal to `key` (ASCII case ignored), or null
// when no key matches; a null key matches none.
const char* ValueOfKey(KEP_Properties& properties, const char* key) {
    if (!key) return nullptr;
    for (int32_t p = 0; p < properties.Count(); ++p)
        if (KepEqualIgnoringCase(properties.Key(p), key)) return properties.Value(p);
    return nullptr;
}

} // namespace

KEP_EXPORT int32_t KEP_CDECL KEP_Flags(int32_t component, int32_t index) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return 0;
    // Only groups and meshes have flags; any other code gives 0 quietly.
    if (component != kGroup && component != kMesh) return 0;
    if (!ComponentIndexValid(*map, component, index)) {
        SetLastError(KepMessage::InvalidComponentIndex);
        return 0;
    }
    if (component == kGroup) {
        const KEP_Group* group = GroupAtIndex(index);
        return group ? group->flags : 0;
    }
    const KEP_Mesh* mesh = map->meshes.At(index);
    return mesh ? mesh->flags : 0;
}

KEP_EXPORT int32_t KEP_CDECL KEP_PropertyCount(int32_t component, int32_t index) {
    ResetLastError();
    KEP_Map* map = CurrentMapOrFail();
    if (!map) return 0;
    if (!CarriesProperties(component)) return 0;
    if (!ComponentIndexValid(*map, component, index)) {
        SetLastError(KepMessage::InvalidComponentIndex);
        return 0;
    }
    const KEP_Properties* properties = FindProperties(*map, component, index);
    return properties ? properties->Count() : 0;
}

KEP_EXPORT char* KEP_CDECL KEP_Property(char* previous, int32_t component, int32_t propertyOrValue,
                                        int32_t componentIndex, int32_t propertyIndex) {
    ResetLastError();
    const char* text =
        PropertyTextOrFail(component, propertyOrValue, componentIndex, propertyIndex);
    // The previous result goes back to the host on every path.
    return ReturnHostString(previous, text);
}

KEP_EXPORT char* KEP_CDECL KEP_PropertyByKey(char* previous, int32_t component,
                                             int32_t componentIndex, const char* key) {
    ResetLastError();
    KEP_Properties* properties = PropertiesOrFail(component, componentIndex);
    // A key that no property has is no failure: the empty result, code 1.
    return ReturnHostString(previous, properties ? ValueOfKey(*properties, key) : nullptr);
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_Property(char* buffer, int32_t component,
                                             int32_t propertyOrValue, int32_t componentIndex,
                                             int32_t propertyIndex) {
    ResetLastError();
    const char* text =
        PropertyTextOrFail(component, propertyOrValue, componentIndex, propertyIndex);
    if (!text) return 0;
    if (!buffer) {
        SetLastError(KepMessage::InvalidBuffer);
        return 0;
    }
    CopyTextToBuffer(buffer, text);
    return 1;
}

KEP_EXPORT int32_t KEP_CDECL KEPCPP_PropertyByKey(char* buffer, int32_t component,
                                                  int32_t componentIndex, const char* key) {
    ResetLastError();
    KEP_Properties* properties = PropertiesOrFail(component, componentIndex);
    if (!properties) return 0;
    if (!buffer) {
        SetLastError(KepMessage::InvalidBuffer);
        return 0;
    }
    // No matching key leaves the buffer untouched and still succeeds.
    CopyTextToBuffer(buffer, ValueOfKey(*properties, key));
    return 1;
}
