#include "app/driver_status.h"

#include <vaultra/tarn7.h>
#include <cstdio>

#include "app/text_catalogue.h"

namespace vaultra::app {

namespace {

// Error words of S7 answers (error class << 8 | code) that a backup or restore meets.
const char* PlcErrorMeaning(uint16_t plcError) {
    switch (plcError) {
        case 0x8104:
            return "Dienst nicht unterst\xC3\xBCtzt";
        case 0x8304:
            return "Speicher der Steuerung voll";
        case 0x8404:
            return "Steuerung besch\xC3\xA4"
                   "ftigt";
        case 0x8500:
            return "Auftrag fehlerhaft";
        case 0xD201:
            return "Bausteinname fehlerhaft";
        case 0xD209:
            return "Objekt nicht vorhanden";
        case 0xD20A:
            return "kein solcher Auftrag";
        case 0xD20E:
            return "falscher Betriebszustand";
        case 0xD241:
            return "gesch\xC3\xBCtzt, Passwort n\xC3\xB6tig";
        case 0xD401:
            return "Liste nicht vorhanden";
        case 0xD602:
            return "Passwort falsch";
        default:
            return "unbekannter Fehler";
    }
}

const char* StatusMeaning(uint16_t status) {
    switch (status) {
        case TARN7_STATUS_NO_ANSWER:
            return "keine Antwort der Steuerung (Zeit\xC3\xBC"
                   "berschreitung)";
        case TARN7_STATUS_WRONG_CONTROL:
            return "unerwartete Antwort des Adapters";
        case TARN7_STATUS_DISCONNECTED:
            return "Verbindung von der Steuerung getrennt";
        case TARN7_STATUS_ADAPTER_REJECT:
            return "Adapter lehnt die Busparameter ab";
        case TARN7_STATUS_NO_VALUES:
            return "keine Werte erhalten";
        case TARN7_STATUS_REFUSED:
            return "Verbindung abgelehnt: falscher Steckplatz oder falsche MPI-Adresse?";
        case TARN7_STATUS_PORT:
            return "Schnittstelle oder Verbindung nicht verf\xC3\xBCgbar";
        default:
            return "Status %04X";
    }
}

}  // namespace

std::string DriverFailureReason(uint16_t status, uint16_t plcError) {
    char text[160];
    if (status == TARN7_STATUS_OK && plcError == 0) {
        return {};
    }
    if (status == TARN7_STATUS_PLC_ERROR || status == TARN7_STATUS_OK) {
        std::snprintf(text, sizeof text, Tr("Fehler %04X: %s"), static_cast<unsigned>(plcError),
                      Tr(PlcErrorMeaning(plcError)));
        return text;
    }
    std::snprintf(text, sizeof text, Tr(StatusMeaning(status)), static_cast<unsigned>(status));
    return text;
}

void NoteFirstFailure(std::string& failure, const std::string& what, uint16_t status, uint16_t plcError,
                      bool withDriverReason) {
    if (!failure.empty()) {
        return;
    }
    const std::string reason = withDriverReason ? DriverFailureReason(status, plcError) : "";
    failure = reason.empty() ? what : what + " (" + reason + ")";
}

}  // namespace vaultra::app
