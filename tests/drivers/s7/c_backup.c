#include "tests/drivers/s7/c_backup.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vaultra/tarn7.h>

enum { kSlots = 39, kBufferSize = 65536 };

/* The station's S7 table, in binding order; the last two names never carry a family prefix. */
static const char* const kSlotNames[kSlots] = {
    "Init",          "Exit",      "AGTest",       "RdAdr",       "WrAdr",  "WrMB",          "RdMW",
    "WrMW",          "WrEB",      "RdEW",         "WrEW",        "RdPEW",  "WrPEW",         "WrAB",
    "RdAW",          "WrAW",      "RdPAW",        "WrPAW",       "RdTW",   "WrTW",          "RdZW",
    "WrZW",          "RdDB",      "WrDB",         "AGStart",     "AGStop", "AGStartStopEx", "SetTimeOut",
    "SetBlockPause", "SetRepeat", "SetFlags",     "CloseAll",    "RdDir",  "RdBst",         "CreateBst",
    "Compress",      "ClearAll",  "S7DoPassword", "NewMPILanCom"};
enum {
    kInit = 0,
    kExit = 1,
    kSetTimeOut = 27,
    kSetBlockPause = 28,
    kSetRepeat = 29,
    kSetFlags = 30,
    kRdDir = 32,
    kRdBst = 33,
    kPassword = 37,
    kNewLan = 38
};

static const char* const kTypeNames[7] = {"DB", "SDB", "SFC", "FB", "OB", "FC", "SFB"};

/* The station's encoding of the PLC password. */
void CBackupEncodePassword(const char* text, uint8_t out[8]) {
    uint8_t in[8] = {0};
    for (int i = 0; i < 8 && text[i] != '\0'; ++i)
        in[i] = (uint8_t)text[i];
    memset(out, 0, 8);
    if (in[0] == 0)
        return;
    out[0] = in[0] ^ 0x55;
    out[1] = in[1] ^ 0x55;
    out[2] = in[0] ^ in[2];
    out[3] = in[1] ^ in[3];
    out[4] = in[0] ^ in[2] ^ 0x55 ^ in[4];
    out[5] = in[1] ^ in[3] ^ 0x55 ^ in[5];
    out[6] = in[0] ^ in[2] ^ in[4] ^ in[6];
    out[7] = in[1] ^ in[3] ^ in[5] ^ in[7];
}

static int WriteImage(const char* dir, int type, int number, const uint8_t* image, size_t length) {
    char path[512];
    snprintf(path, sizeof path, "%s/%s%d.blk", dir, kTypeNames[type], number);
    FILE* f = fopen(path, "wb");
    if (f == NULL)
        return 0;
    const int ok = fwrite(image, 1, length, f) == length;
    return fclose(f) == 0 && ok;
}

static int Fail(CBackupJob* job, const char* what, const ConnectionRecord* record) {
    snprintf(job->message, sizeof job->message, "%s (status %04X, plcError %04X)", what,
             record ? record->status : 0, record ? record->plcError : 0);
    return 0;
}

static int ReadAll(CBackupJob* job, void* const* slots, ConnectionRecord* record, int16_t* table,
                   uint8_t* buffer) {
    for (int type = 0; type < 7; ++type) {
        memset(table, 0, 65536 * sizeof *table);
        if (!((Tarn7RdDirFn)slots[kRdDir])(record, type, table, NULL))
            return Fail(job, "RdDir", record);
        for (int number = 0; number < 65536; ++number) {
            if (table[number] != -1)
                continue;
            BlockRecord block;
            memset(&block, 0, sizeof block);
            block.image = buffer + 10;
            if (!((Tarn7RdBstFn)slots[kRdBst])(record, &block, type, number, 1))
                return Fail(job, "RdBst", record);
            const uint8_t* h = block.image;
            const size_t length = (size_t)h[8] << 24 | (size_t)h[9] << 16 | (size_t)h[10] << 8 | h[11];
            if (length > kBufferSize - 10 || !WriteImage(job->outDir, type, number, block.image, length))
                return Fail(job, "write image", record);
            ++job->blocks;
        }
    }
    return 1;
}

static int Session(CBackupJob* job, void* const* slots) {
    ((Tarn7SetBlockPauseFn)slots[kSetBlockPause])(0);
    ((Tarn7SetTimeOutFn)slots[kSetTimeOut])(81);
    ((Tarn7SetRepeatFn)slots[kSetRepeat])(3);
    ((Tarn7SetFlagsFn)slots[kSetFlags])(0);
    ConnectionRecord record;
    memset(&record, 0, sizeof record);
    record.port = job->serialPort;
    if (job->lanAddress != NULL) {
        const int32_t port = ((Tarn7NewMPILanComFn)slots[kNewLan])(job->lanAddress, 2000, 2000, 5000,
                                                                   job->lanKind, 0xFFFFFFFFu, 0);
        if (port < 128)
            return Fail(job, "NewMPILanCom", NULL);
        record.port = (uint16_t)port;
    }
    record.busSpeed = 2;
    record.plcAddress = job->plcAddress;
    record.rackSlot = job->rackSlot;
    if (((Tarn7InitFn)slots[kInit])(&record, 0) != 1 || record.connected != 1)
        return Fail(job, "Init", &record);
    int ok = 1;
    if (job->password != NULL && job->password[0] != '\0') {
        uint8_t encoded[8];
        CBackupEncodePassword(job->password, encoded);
        ok = ((Tarn7DoPasswordFn)slots[kPassword])(&record, encoded) == 1 || Fail(job, "password", &record);
    }
    int16_t* table = malloc(65536 * sizeof *table);
    uint8_t* buffer = malloc(kBufferSize);
    ok = ok && table != NULL && buffer != NULL && ReadAll(job, slots, &record, table, buffer);
    free(table);
    free(buffer);
    ((Tarn7ExitFn)slots[kExit])(&record, 0);
    return ok;
}

int CBackupRun(CBackupJob* job) {
    job->blocks = 0;
    job->missing[0] = job->message[0] = '\0';
    void* library = dlopen(job->libraryPath, RTLD_NOW | RTLD_LOCAL);
    if (library == NULL)
        return Fail(job, dlerror(), NULL);
    void* slots[kSlots];
    for (int i = 0; i < kSlots; ++i) {
        char name[64];
        const int fixedName = i >= kPassword;
        snprintf(name, sizeof name, "%s%s", fixedName ? "" : (job->s5Names ? "S5" : "S7"), kSlotNames[i]);
        slots[i] = dlsym(library, name);
        if (slots[i] == NULL) {
            strncat(job->missing, name, sizeof job->missing - strlen(job->missing) - 2);
            strcat(job->missing, " ");
        }
    }
    const int needed[] = {kInit,     kExit,  kSetTimeOut, kSetBlockPause, kSetRepeat,
                          kSetFlags, kRdDir, kRdBst,      kPassword,      kNewLan};
    int ok = 1;
    for (size_t i = 0; i < sizeof needed / sizeof needed[0]; ++i)
        ok = ok && slots[needed[i]] != NULL;
    ok = ok ? Session(job, slots) : Fail(job, "a needed name is missing", NULL);
    dlclose(library);
    return ok;
}
