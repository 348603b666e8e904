// A module DLL of the stand-in host holds no code: its module definition
// forwards every export to DBProCore.dll, where the module's state lives.
