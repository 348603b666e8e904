// Every function the plug-in exports, with the argument order the host uses.
// A command typed "S" takes its previous result string first; a command typed
// "F" returns a 32-bit word holding the float's bits.
#pragma once

#include <cstdint>

#include "core/calling.h"

// Start and end calls of the host.
KEP_EXPORT void KEP_CDECL Constructor();
KEP_EXPORT void KEP_CDECL Destructor();

// The host modules a compiled program must carry for this plug-in to work.
KEP_EXPORT int KEP_CDECL GetNumDependencies();
KEP_EXPORT const char* KEP_CDECL GetDependencyID(int n);

// Errors, version, break and settings.
KEP_EXPORT int32_t KEP_CDECL KEP_GetLastError();
KEP_EXPORT char* KEP_CDECL KEP_GetLastErrorText(char* previous);
KEP_EXPORT char* KEP_CDECL KEP_Version(char* previous);
KEP_EXPORT void KEP_CDECL KEP_Break();
KEP_EXPORT void KEP_CDECL KEP_InitialObject(int32_t number);
KEP_EXPORT void KEP_CDECL KEP_InitialImage(int32_t number);
KEP_EXPORT void KEP_CDECL KEP_BlendMode(uint32_t mode);
KEP_EXPORT void KEP_CDECL KEP_MapOffset(float x, float y, float z);
KEP_EXPORT void KEP_CDECL KEP_MediaIncluded(int32_t flag);
KEP_EXPORT void KEP_CDECL KEP_SetAmbient(int32_t colour);

// Loading.
KEP_EXPORT int32_t KEP_CDECL KEP_Load(const char* fileName, int32_t lightmapFlag);
KEP_EXPORT int32_t KEP_CDECL KEP_MakeKEPFromMemblock(int32_t memblock, int32_t lightmapFlag);

// Map management.
KEP_EXPORT int32_t KEP_CDECL KEP_SetCurrentMap(int32_t mapNumber);
KEP_EXPORT int32_t KEP_CDECL KEP_GetCurrentMap();
KEP_EXPORT void KEP_CDECL KEP_ShowMap();
KEP_EXPORT void KEP_CDECL KEP_HideMap();
KEP_EXPORT void KEP_CDECL KEP_Clear();

// Component queries.
KEP_EXPORT int32_t KEP_CDECL KEP_Count(int32_t component);
KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceCount(int32_t mesh);
KEP_EXPORT int32_t KEP_CDECL KEP_SurfaceTexture(int32_t mesh, int32_t surface);
KEP_EXPORT char* KEP_CDECL KEP_TextureName(char* previous, int32_t texture);
KEP_EXPORT int32_t KEP_CDECL KEPCPP_TextureName(char* buffer, int32_t texture);
KEP_EXPORT int32_t KEP_CDECL KEP_TextureID(int32_t texture);
KEP_EXPORT int32_t KEP_CDECL KEP_Texture(int32_t texture);
KEP_EXPORT int32_t KEP_CDECL KEP_TextureCreate(const char* name, int32_t image);
KEP_EXPORT int32_t KEP_CDECL KEP_TextureMesh(int32_t mesh, int32_t surface, int32_t texture);
KEP_EXPORT uint32_t KEP_CDECL KEP_EntityX(int32_t entity);
KEP_EXPORT uint32_t KEP_CDECL KEP_EntityY(int32_t entity);
KEP_EXPORT uint32_t KEP_CDECL KEP_EntityZ(int32_t entity);
KEP_EXPORT int32_t KEP_CDECL KEP_PivotID(int32_t entity);
KEP_EXPORT int32_t KEP_CDECL KEP_GetMeshIndex(int32_t object);

// Property queries.
KEP_EXPORT int32_t KEP_CDECL KEP_Flags(int32_t component, int32_t index);
KEP_EXPORT int32_t KEP_CDECL KEP_PropertyCount(int32_t component, int32_t index);
KEP_EXPORT char* KEP_CDECL KEP_Property(char* previous, int32_t component, int32_t propertyOrValue,
                                        int32_t componentIndex, int32_t propertyIndex);
KEP_EXPORT char* KEP_CDECL KEP_PropertyByKey(char* previous, int32_t component,
                                             int32_t componentIndex, const char* key);
KEP_EXPORT int32_t KEP_CDECL KEPCPP_Property(char* buffer, int32_t component,
                                             int32_t propertyOrValue, int32_t componentIndex,
                                             int32_t propertyIndex);
KEP_EXPORT int32_t KEP_CDECL KEPCPP_PropertyByKey(char* buffer, int32_t component,
                                                  int32_t componentIndex, const char* key);

// Pivot transforms and visibility.
KEP_EXPORT void KEP_CDECL KEP_Move(int32_t pivot, float dx, float dy, float dz);
KEP_EXPORT void KEP_CDECL KEP_Position(int32_t pivot, float x, float y, float z);
KEP_EXPORT void KEP_CDECL KEP_Angle(int32_t pivot, float ax, float ay, float az);
KEP_EXPORT void KEP_CDECL KEP_Rotate(int32_t pivot, float dax, float day, float daz);
KEP_EXPORT void KEP_CDECL KEP_Show(int32_t pivot);
KEP_EXPORT void KEP_CDECL KEP_Hide(int32_t pivot);

// Group mapping.
KEP_EXPORT int32_t KEP_CDECL KEP_ObjectToGroup(int32_t object);
KEP_EXPORT int32_t KEP_CDECL KEP_GroupToObject(int32_t group);
KEP_EXPORT int32_t KEP_CDECL KEP_GroupToPivot(int32_t group);
KEP_EXPORT int32_t KEP_CDECL KEP_PivotToGroup(int32_t pivot);
KEP_EXPORT int32_t KEP_CDECL KEP_MeshToGroup(int32_t mesh);
KEP_EXPORT int32_t KEP_CDECL KEP_EntityToGroup(int32_t entity);
