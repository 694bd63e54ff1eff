#include "tests/drivers/s5/c_backup5.h"

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vaultra/tarn5.h>

enum { kBodyRoom = 65536, kDirectoryWords = 65536 };

static const char* const kTypeNames[7] = {"DB", "SB", "PB", "FB", "OB", "FX", "DX"};

/* Every export, bound by its name. */
typedef struct Api {
#define VAULTRA_FIELD(name, params) Tarn5##name##Fn name;
    TARN5_FUNCTIONS(VAULTRA_FIELD)
#undef VAULTRA_FIELD
    Tarn5S5FlushComFn S5FlushCom;
    Tarn5ComGetHandleFn ComGetHandle;
} Api;

static void NoteMissing(CBackup5Job* job, const char* name) {
    if (strlen(job->missing) + strlen(name) + 2 < sizeof job->missing) {
        strcat(job->missing, name);
        strcat(job->missing, " ");
    }
}

static int Bind(void* handle, Api* api, CBackup5Job* job) {
    int ok = 1;
#define VAULTRA_BIND(name, params)              \
    *(void**)&api->name = dlsym(handle, #name); \
    if (api->name == NULL) {                    \
        NoteMissing(job, #name);                \
        ok = 0;                                 \
    } else {                                    \
        ++job->exports;                         \
    }
    TARN5_FUNCTIONS(VAULTRA_BIND)
    VAULTRA_BIND(S5FlushCom, ())
    VAULTRA_BIND(ComGetHandle, ())
#undef VAULTRA_BIND
    return ok;
}

static int WriteBlock(CBackup5Job* job, int type, int number, const S5BlockRecord* block) {
    char path[1024];
    snprintf(path, sizeof path, "%s/%s%d.blk", job->outDir, kTypeNames[type], number);
    FILE* f = fopen(path, "wb");
    if (f == NULL)
        return 0;
    const uint8_t length[2] = {(uint8_t)(block->lengthWords >> 8), (uint8_t)block->lengthWords};
    const size_t body = (size_t)block->lengthWords * 2 - 10;
    int ok = fwrite(block, 1, 8, f) == 8 && fwrite(length, 1, 2, f) == 2 &&
             (body == 0 || fwrite(block->body, 1, body, f) == body);
    return fclose(f) == 0 && ok;
}

static int BackupType(CBackup5Job* job, const Api* api, ConnectionRecord* r, int type, uint16_t* dir,
                      uint8_t* body) {
    if (api->S5RdDir(r, type, dir, kDirectoryWords) != 1)
        return 1; /* the PLC has no blocks of this type */
    for (int n = 0; n < 256; ++n) {
        if (dir[n] == 0)
            continue;
        S5BlockRecord block;
        memset(&block, 0, sizeof block);
        block.body = body;
        if (api->S5RdBst(r, &block, type, n, 1) != 1 || !WriteBlock(job, type, n, &block)) {
            snprintf(job->message, sizeof job->message, "%s %d: status 0x%04X", kTypeNames[type], n,
                     r->status);
            return 0;
        }
        ++job->blocks;
    }
    return 1;
}

static int Connect(CBackup5Job* job, const Api* api, ConnectionRecord* r) {
    memset(r, 0, sizeof *r);
    r->port = job->serialPort;
    if (job->lanAddress != NULL) {
        const int32_t port = api->NewMPILanCom(job->lanAddress, 2000, 2000, 2000, job->lanKind, 0, 0);
        if (port < 128) {
            snprintf(job->message, sizeof job->message, "NewMPILanCom gave %d", port);
            return 0;
        }
        r->port = (uint16_t)port;
    }
    api->S5SetRepeat(2);
    api->S5SetTimeOut(81);
    if (api->S5Init(r, 0) != 1) {
        snprintf(job->message, sizeof job->message, "S5Init: status 0x%04X", r->status);
        return 0;
    }
    return 1;
}

int CBackup5Run(CBackup5Job* job) {
    job->exports = job->blocks = 0;
    job->missing[0] = job->message[0] = '\0';
    void* handle = dlopen(job->libraryPath, RTLD_NOW | RTLD_LOCAL);
    if (handle == NULL) {
        snprintf(job->message, sizeof job->message, "dlopen: %s", dlerror());
        return 0;
    }
    Api api;
    ConnectionRecord r;
    memset(&api, 0, sizeof api);
    memset(&r, 0, sizeof r);
    uint16_t* dir = malloc(kDirectoryWords * sizeof *dir);
    uint8_t* body = malloc(kBodyRoom);
    int ok = Bind(handle, &api, job) && dir != NULL && body != NULL && Connect(job, &api, &r);
    for (int type = 0; ok && type < 7; ++type)
        ok = BackupType(job, &api, &r, type, dir, body);
    if (api.S5Exit != NULL && r.connected)
        api.S5Exit(&r, 0);
    if (api.WEP != NULL)
        api.WEP(0);
    free(dir);
    free(body);
    dlclose(handle);
    return ok;
}
