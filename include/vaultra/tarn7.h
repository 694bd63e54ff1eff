/* Exports of the S7 driver libraries libTARN7.so (serial MPI adapter), libTARN7IP.so (the same adapter
 * protocol over a LAN adapter) and libTARN7RFC.so (ISO-on-TCP straight to the PLC).
 *
 * The three libraries share one function set. libTARN7.so and libTARN7IP.so export it with the prefix
 * "S7"; libTARN7RFC.so exports the same functions with the prefix "S5" (S5Init, S5RdBst, ...) and keeps
 * the "S7" names only for S7DoPassword, S7GetCPUName, S7RamnachRom and S7ToggleRead. The port flush is
 * S7FlushCom in libTARN7.so and S5FlushCom in the other two.
 *
 * Every driver function takes the caller's ConnectionRecord first and returns 1 for success and 0 for
 * failure, the reason being left in the record's status word (and plcError for PLC-reported errors).
 * Callers bind by name with dlsym and call through the Tarn7...Fn pointer types below. */
#ifndef VAULTRA_TARN7_H
#define VAULTRA_TARN7_H

#include <stdint.h>

#include "vaultra/export.h"
#include "vaultra/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Block type index of the block functions. */
enum Tarn7BlockTypeIndex {
    TARN7_DB = 0,
    TARN7_SDB = 1,
    TARN7_SFC = 2,
    TARN7_FB = 3,
    TARN7_OB = 4,
    TARN7_FC = 5,
    TARN7_SFB = 6
};

/* status word values */
#define TARN7_STATUS_OK 0x0000
#define TARN7_STATUS_NO_ANSWER 0x0001      /* time-out, bad block check, answer cut short */
#define TARN7_STATUS_WRONG_CONTROL 0x0002  /* plcError holds the expected control character */
#define TARN7_STATUS_DISCONNECTED 0x0004   /* ISO-on-TCP: the PLC sent a non-data TPDU */
#define TARN7_STATUS_ADAPTER_REJECT 0x0008 /* adapter refused the bus parameters */
#define TARN7_STATUS_NO_VALUES 0x0100      /* read without values, write not confirmed */
#define TARN7_STATUS_TOO_LONG 0x0800       /* memory request longer than 128 bytes */
#define TARN7_STATUS_REFUSED 0x2000        /* the PLC station refused the connection */
#define TARN7_STATUS_PLC_ERROR 0x4000      /* plcError holds error class << 8 | code */
#define TARN7_STATUS_PORT 0x8000           /* port write failed, or S7Init failed */

/* Progress of S7RdDir. The fourth argument of S7RdDir stands for a window handle: pass a pointer to
 * this record (or null). While the directory answer is awaited the driver calls sendMessage with
 * TARN7_WM_USER, the type index and the seconds waited (60 when the answer starts); a result of 0
 * cancels the directory read. */
#define TARN7_WM_USER 0x400
typedef struct Tarn7ProgressWindow {
    int32_t (*sendMessage)(struct Tarn7ProgressWindow* window, uint32_t message, uintptr_t wParam,
                           intptr_t lParam);
    void* context; /* free for the caller */
} Tarn7ProgressWindow;

/* The function set, as (name without prefix, parameter list). Every one returns int32_t.
 * RdBst: the image buffer must hold the block's whole load length. Callers that pass 0 or 1 as the last
 * argument (which older callers ignore) promise that; a larger value is taken as the buffer's capacity in
 * bytes, and a block whose load length exceeds it is refused instead of uploaded.
 * WrBst/CreateBst: the image's header gives the lengths of its parts; the header is adjusted to what was
 * sent (odd data block code padded, odd segment evened, load length). CreateBst takes the block type code
 * (1 DB, 8 FB, 16 OB, 244 FC, 247 SDB, 250 SFC, 253 SFB) in the record's type byte. */
#define TARN7_COMMON_FUNCTIONS(X)                                                                       \
    X(Init, (ConnectionRecord * record, int32_t mode))                                                  \
    X(Exit, (ConnectionRecord * record, int32_t mode))                                                  \
    X(SetTimeOut, (int32_t ticks))                                                                      \
    X(SetBlockPause, (int32_t value))                                                                   \
    X(SetRepeat, (int32_t repeat))                                                                      \
    X(SetFlags, (int32_t flags))                                                                        \
    X(SetBaudrate, (ConnectionRecord * record, int32_t rateMask))                                       \
    X(GetBaudrate, (ConnectionRecord * record))                                                         \
    X(AGTest, (ConnectionRecord * record))                                                              \
    X(InitPGBus, (ConnectionRecord * record))                                                           \
    X(OpenAll, (void))                                                                                  \
    X(CloseAll, (void))                                                                                 \
    X(GetAdapterName, (int32_t index, char* buffer /* 64 bytes */, int32_t reserved))                   \
    X(SetAdapterName, (const char* name))                                                               \
    X(RdDir, (ConnectionRecord * record, int32_t type, int16_t * presence, void* window))               \
    X(BstInfo,                                                                                          \
      (ConnectionRecord * record, BlockRecord * block, int32_t type, int32_t number, int16_t * found))  \
    X(RdBst,                                                                                            \
      (ConnectionRecord * record, BlockRecord * block, int32_t type, int32_t number, int32_t capacity)) \
    X(WrBst, (ConnectionRecord * record, BlockRecord * block, int32_t type, int32_t a, int32_t b))      \
    X(CreateBst, (ConnectionRecord * record, BlockRecord * block, int32_t a))                           \
    X(DelBst, (ConnectionRecord * record, int32_t type, int32_t number))                                \
    X(Compress, (ConnectionRecord * record))                                                            \
    X(ClearAll, (ConnectionRecord * record))                                                            \
    X(AGStart, (ConnectionRecord * record))                                                             \
    X(AGStop, (ConnectionRecord * record))                                                              \
    X(AGStartStopEx, (ConnectionRecord * record, int32_t mode))                                         \
    X(BStack, (ConnectionRecord * record, int16_t * flag, uint8_t * buffer /* 908 bytes */))            \
    X(Ustack, (ConnectionRecord * record, uint8_t * buffer /* 88 bytes */, int16_t * flag))             \
    X(WrMB, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdMW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrMW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrEB, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdEW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrEW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdPEW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                   \
    X(WrPEW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                   \
    X(WrAB, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdAW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrAW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdPAW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                   \
    X(WrPAW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                   \
    X(RdTW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrTW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdZW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(WrZW, (ConnectionRecord * record, int32_t start, int32_t count, void* buffer))                    \
    X(RdDB, (ConnectionRecord * record, int32_t db, int32_t start, int32_t count, void* buffer))        \
    X(WrDB, (ConnectionRecord * record, int32_t db, int32_t start, int32_t count, void* buffer))        \
    TARN7_COMPAT_FUNCTIONS(X)

/* Present for compatibility with the S5 driver family; they do no traffic and return 0. */
#define TARN7_COMPAT5(X, name) \
    X(name, (ConnectionRecord * record, int32_t a, int32_t b, int32_t c, int32_t d))
#define TARN7_COMPAT4(X, name) X(name, (ConnectionRecord * record, int32_t a, int32_t b, int32_t c))
#define TARN7_COMPAT_FUNCTIONS(X)                                                                            \
    TARN7_COMPAT5(X, RdSB)                                                                                   \
    TARN7_COMPAT5(X, WrSB)                                                                                   \
    TARN7_COMPAT5(X, RdPB)                                                                                   \
    TARN7_COMPAT5(X, WrPB)                                                                                   \
    TARN7_COMPAT5(X, RdFB) TARN7_COMPAT5(X, WrFB) TARN7_COMPAT5(X, RdOB) TARN7_COMPAT5(                      \
        X, WrOB) TARN7_COMPAT5(X, RdFX) TARN7_COMPAT5(X, WrFX) TARN7_COMPAT5(X, RdDX) TARN7_COMPAT5(X, WrDX) \
        TARN7_COMPAT5(X, RdAdr) TARN7_COMPAT5(X, WrAdr) TARN7_COMPAT4(X, RdASW) TARN7_COMPAT4(X, WrASW)      \
            TARN7_COMPAT4(X, RdBSW) TARN7_COMPAT4(X, WrBSW) TARN7_COMPAT4(X, RdSW) TARN7_COMPAT4(X, WrSW)    \
                TARN7_COMPAT4(X, WrSY) X(SetAB, (ConnectionRecord * record, int32_t a, int32_t b))           \
                    X(SPAus, (ConnectionRecord * record, int32_t a, int32_t b))                              \
                        X(UstackEx, (ConnectionRecord * record, int32_t a, int32_t b, int32_t c, int32_t d)) \
                            X(Ustack945, (ConnectionRecord * record, int32_t a))

/* The functions that keep their S7 names in every library. */
#define TARN7_S7_ONLY_FUNCTIONS(X)                                                                      \
    X(DoPassword, (ConnectionRecord * record, const uint8_t* password /* 8 bytes */))                   \
    X(GetCPUName, (ConnectionRecord * record, uint32_t listIdAndIndex, uint8_t * buffer, int32_t size)) \
    X(RamnachRom, (ConnectionRecord * record, uint32_t * result))                                       \
    X(ToggleRead, (ConnectionRecord * record))

/* Path functions of the S5 family, exported under these names by every library: no traffic. */
#define TARN7_PATH_FUNCTIONS(X)                                       \
    X(ConnectS5OnH1CP, (ConnectionRecord * record, int32_t a))        \
    X(ConnectKORMUXOnH1CP, (ConnectionRecord * record, int32_t a))    \
    X(ConnectL2CP, (ConnectionRecord * record, int32_t a))            \
    X(ConnectS5OnL2CP, (ConnectionRecord * record, int32_t a))        \
    X(ConnectKORMUXOnL2CP, (ConnectionRecord * record, int32_t a))    \
    X(ConnectL1CP, (ConnectionRecord * record, int32_t a))            \
    X(ConnectS5OnL1CP, (ConnectionRecord * record, int32_t a))        \
    X(ConnectKORMUX, (ConnectionRecord * record, int32_t a))          \
    X(DeleteKORMUXOnH1Path, (ConnectionRecord * record))              \
    X(DeleteS5OnH1Path, (ConnectionRecord * record))                  \
    X(ConnectH1CP, (ConnectionRecord * record, int32_t a, int32_t b)) \
    X(DeleteCPPath, (ConnectionRecord * record))                      \
    X(InitForPath, (int32_t * value))

/* Function pointer types, one per function: Tarn7InitFn, Tarn7RdBstFn, ... */
#define TARN7_DECLARE_FN_TYPE(name, params) typedef int32_t(*Tarn7##name##Fn) params;
TARN7_COMMON_FUNCTIONS(TARN7_DECLARE_FN_TYPE)
TARN7_S7_ONLY_FUNCTIONS(TARN7_DECLARE_FN_TYPE)
TARN7_PATH_FUNCTIONS(TARN7_DECLARE_FN_TYPE)
typedef void (*Tarn7FlushComFn)(ConnectionRecord* record);
typedef void* (*Tarn7ComGetHandleFn)(uint16_t port);
typedef int32_t (*Tarn7NewMPILanComFn)(const char* address, int32_t receiveTimeoutMs, int32_t sendTimeoutMs,
                                       int32_t connectTimeoutMs, int16_t kind, uint32_t localAddress,
                                       uint32_t netMask);
typedef int32_t (*Tarn7WEPFn)(int32_t reserved);

/* Prototypes: the S7 names (libTARN7.so, libTARN7IP.so), the S5 names (libTARN7RFC.so) and the
 * names shared by all three. */
#define TARN7_DECLARE_S7(name, params) VAULTRA_API int32_t S7##name params;
#define TARN7_DECLARE_S5(name, params) VAULTRA_API int32_t S5##name params;
TARN7_COMMON_FUNCTIONS(TARN7_DECLARE_S7)
TARN7_COMMON_FUNCTIONS(TARN7_DECLARE_S5)
TARN7_S7_ONLY_FUNCTIONS(TARN7_DECLARE_S7)
TARN7_PATH_FUNCTIONS(TARN7_DECLARE_S5)
VAULTRA_API void S7FlushCom(ConnectionRecord* record); /* libTARN7.so */
VAULTRA_API void S5FlushCom(ConnectionRecord* record); /* libTARN7IP.so, libTARN7RFC.so */
VAULTRA_API void* ComGetHandle(uint16_t port);
/* Registers a LAN adapter (kind 1 raw, 2 length-prefixed) or, in libTARN7RFC.so, an ISO-on-TCP
 * endpoint (kind 3) and returns its port number for ConnectionRecord.port; -3 in libTARN7.so. */
VAULTRA_API int32_t NewMPILanCom(const char* address, int32_t receiveTimeoutMs, int32_t sendTimeoutMs,
                                 int32_t connectTimeoutMs, int16_t kind, uint32_t localAddress,
                                 uint32_t netMask);
VAULTRA_API int32_t WEP(int32_t reserved);

#undef TARN7_DECLARE_FN_TYPE
#undef TARN7_DECLARE_S7
#undef TARN7_DECLARE_S5

#ifdef __cplusplus
}
#endif

#endif
