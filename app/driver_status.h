// Why a driver call failed, in words: the record's status word and, for errors the PLC reported, its
// error word with what it means.
#pragma once

#include <cstdint>
#include <string>

namespace vaultra::app {

// "Fehler D209: Objekt nicht vorhanden", "keine Antwort der Steuerung (Zeit\u00fcberschreitung)", ... in
// the chosen language; empty for status 0.
std::string DriverFailureReason(uint16_t status, uint16_t plcError);

// Keeps the first failure of a run in `failure` (later ones are consequences), with the driver's reason
// in brackets when asked and there is one.
void NoteFirstFailure(std::string& failure, const std::string& what, uint16_t status, uint16_t plcError,
                      bool withDriverReason);

}  // namespace vaultra::app
