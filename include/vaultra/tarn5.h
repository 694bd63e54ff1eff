/* Exports of the S5 driver libraries libTARN5.so (programming port on a serial line) and libTARN5IP.so
 * (the same, and the programming port behind a LAN adapter for ports 128 and above). Both libraries export
 * exactly the same names.
 *
 * Every PLC function takes the caller's ConnectionRecord first (its S5 view: records.h) and returns 1 for
 * success and 0 for failure, the reason being left in the record's status (error word, TARN5_ERR_...)
 * and, for an unexpected byte or a PLC status byte, in plcError. Word buffers (unit 2) hold 16-bit values
 * in host order; byte buffers (unit 1) hold the bytes as the PLC keeps them.
 * Callers bind by name with dlsym and call through the Tarn5...Fn pointer types below. */
#ifndef VAULTRA_TARN5_H
#define VAULTRA_TARN5_H

#include <stdint.h>

#include "vaultra/export.h"
#include "vaultra/records.h"

#ifdef __cplusplus
extern "C" {
#endif

/* Block type positions of the block functions; on the line they travel as 0x01, 0x02, 0x04, 0x08, 0x10,
 * 0x05 and 0x0C. */
enum Tarn5BlockTypePosition {
    TARN5_DB = 0,
    TARN5_SB = 1,
    TARN5_PB = 2,
    TARN5_FB = 3,
    TARN5_OB = 4,
    TARN5_FX = 5,
    TARN5_DX = 6
};

/* error words */
#define TARN5_ERR_NONE 0x0000
#define TARN5_ERR_NO_BYTE 0x0001        /* no byte received */
#define TARN5_ERR_UNEXPECTED 0x0002     /* unexpected byte (in plcError); also a reply that does not fit */
#define TARN5_ERR_REFUSED 0x0008        /* request refused or cut short (create block, memory, start/stop) */
#define TARN5_ERR_DLE 0x0010            /* DLE followed by a wrong byte */
#define TARN5_ERR_NO_BLOCK 0x0020       /* block not present or not deletable (PLC status in plcError) */
#define TARN5_ERR_RANGE 0x0040          /* memory range refused */
#define TARN5_ERR_FORCING 0x0080        /* output forcing refused */
#define TARN5_ERR_BEYOND_BLOCK 0x0100   /* range beyond the end of the block */
#define TARN5_ERR_ABSENT 0x0200         /* block or area not present (length or base address 0) */
#define TARN5_ERR_SET_AB 0x0400         /* set after every S5SetAB that was not accepted at once */
#define TARN5_ERR_SELECT_REFUSED 0x1000 /* PG-bus station select refused */
#define TARN5_ERR_SELECT_SILENT 0x2000  /* no answer to a PG-bus select */
#define TARN5_ERR_FUNCTION 0x4000       /* function refused by the PLC */
#define TARN5_ERR_INIT_OPEN 0x8003      /* S5Init could not open the port */
#define TARN5_ERR_PGBUS_OPEN 0x8004     /* S5InitPGBus could not open the port */
#define TARN5_ERR_WRITE 0x8005          /* a byte could not be written to the line */

/* One record of S5Ustack (the caller passes 8; the driver clears them first). */
#pragma pack(push, 1)
typedef struct S5InterruptRecord {
    uint16_t systemData[3];   /* record 0 only: the first 6 bytes of the system data */
    uint16_t replyWord;       /* record 0 only: the word that opens the reply */
    uint16_t items[2];        /* first two items of the stack entry */
    uint8_t entryBytes[8];    /* the last keeps only its 3 low bits */
    uint16_t entryWords[6];   /* [0] data-block address, [2] return address */
    uint16_t blockAddress;    /* address of the block that holds the return address */
    uint8_t blockNumber;      /* its number */
    uint8_t dataBlockNumber;  /* number of the data block at entryWords[0] */
    uint16_t typePosition;    /* type position of that block */
    uint16_t relativeAddress; /* return address - block address, 0xFFFF when no block was found */
} S5InterruptRecord;
#pragma pack(pop)
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, replyWord) == 6, "replyWord");
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, entryBytes) == 12, "entryBytes");
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, entryWords) == 20, "entryWords");
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, blockAddress) == 32, "blockAddress");
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, dataBlockNumber) == 35, "dataBlockNumber");
VAULTRA_STATIC_ASSERT(offsetof(S5InterruptRecord, relativeAddress) == 38, "relativeAddress");
VAULTRA_STATIC_ASSERT(sizeof(S5InterruptRecord) == 40, "S5InterruptRecord size");
#define TARN5_USTACK_RECORDS 8
#define TARN5_BSTACK_WORDS 512   /* room S5BStack expects in its word buffer; further words are dropped */
#define TARN5_USTACK945_BYTES 80 /* room S5Ustack945 expects */

/* S5RdDir: capacity is the number of words the buffer holds; 0 or less stands for the station's
 * 128 KiB buffer (65536 words). A PLC that announces more entries than fit is refused (ERR_UNEXPECTED).
 * S5RdBst: a non-zero lengthWords on entry bounds the body to lengthWords * 2 - 10 bytes; 0 stands for the
 * station's 64 KiB block buffer. A longer block is refused (ERR_UNEXPECTED) and the body left unwritten
 * beyond that room. S5UstackEx: the buffer holds at most 8 records of recordWords words. */
/* clang-format off */
#define TARN5_AREA(X, name) X(name, (ConnectionRecord * record, int32_t index, int32_t count, void* buffer))
#define TARN5_DBF(X, name) \
    X(name, (ConnectionRecord * record, int32_t number, int32_t start, int32_t count, void* buffer))
#define TARN5_FUNCTIONS(X)                                                                                  \
    X(S5Init, (ConnectionRecord * record, int32_t mode))                                                    \
    X(S5InitPGBus, (ConnectionRecord * record))                                                             \
    X(S5Exit, (ConnectionRecord * record, int32_t reserved))                                                \
    X(S5AGTest, (ConnectionRecord * record))                                                                \
    X(S5SetTimeOut, (int32_t ticks))                                                                        \
    X(S5SetBlockPause, (int32_t milliseconds))                                                              \
    X(S5SetRepeat, (int32_t retries))                                                                       \
    X(S5SetFlags, (int32_t flags))                                                                          \
    X(S5RdDir, (ConnectionRecord * record, int32_t type, uint16_t * words, int32_t capacity))               \
    X(S5BstInfo, (ConnectionRecord * record, S5BlockRecord * header, int32_t type, int32_t number,          \
                  uint16_t * address))                                                                      \
    X(S5RdBst, (ConnectionRecord * record, S5BlockRecord * block, int32_t type, int32_t number,             \
                int32_t unit))                                                                              \
    X(S5WrBst, (ConnectionRecord * record, S5BlockRecord * block, int32_t type, int32_t number,             \
                int32_t unit))                                                                              \
    X(S5CreateBst, (ConnectionRecord * record, S5BlockRecord * block, int32_t unit))                        \
    X(S5DelBst, (ConnectionRecord * record, int32_t type, int32_t number))                                  \
    X(S5Compress, (ConnectionRecord * record))                                                              \
    X(S5ClearAll, (ConnectionRecord * record))                                                              \
    TARN5_DBF(X, S5RdDB) TARN5_DBF(X, S5WrDB) TARN5_DBF(X, S5RdSB) TARN5_DBF(X, S5WrSB)                     \
    TARN5_DBF(X, S5RdPB) TARN5_DBF(X, S5WrPB) TARN5_DBF(X, S5RdFB) TARN5_DBF(X, S5WrFB)                     \
    TARN5_DBF(X, S5RdOB) TARN5_DBF(X, S5WrOB) TARN5_DBF(X, S5RdFX) TARN5_DBF(X, S5WrFX)                     \
    TARN5_DBF(X, S5RdDX) TARN5_DBF(X, S5WrDX)                                                               \
    X(S5RdAdr, (ConnectionRecord * record, int32_t address, void* buffer, int32_t unit, int32_t count))     \
    X(S5WrAdr, (ConnectionRecord * record, int32_t address, void* buffer, int32_t unit, int32_t count))     \
    TARN5_AREA(X, S5RdPEW) TARN5_AREA(X, S5WrPEW) TARN5_AREA(X, S5RdPAW) TARN5_AREA(X, S5WrPAW)             \
    TARN5_AREA(X, S5RdEW) TARN5_AREA(X, S5WrEB) TARN5_AREA(X, S5WrEW)                                       \
    TARN5_AREA(X, S5RdAW) TARN5_AREA(X, S5WrAB) TARN5_AREA(X, S5WrAW)                                       \
    TARN5_AREA(X, S5RdMW) TARN5_AREA(X, S5WrMB) TARN5_AREA(X, S5WrMW)                                       \
    TARN5_AREA(X, S5RdSW) TARN5_AREA(X, S5WrSY) TARN5_AREA(X, S5WrSW)                                       \
    TARN5_AREA(X, S5RdTW) TARN5_AREA(X, S5WrTW) TARN5_AREA(X, S5RdZW) TARN5_AREA(X, S5WrZW)                 \
    TARN5_AREA(X, S5RdBSW) TARN5_AREA(X, S5WrBSW) TARN5_AREA(X, S5RdASW) TARN5_AREA(X, S5WrASW)             \
    X(S5AGStop, (ConnectionRecord * record))                                                                \
    X(S5AGStart, (ConnectionRecord * record))                                                               \
    X(S5AGStartStopEx, (ConnectionRecord * record, int32_t mode))                                           \
    X(S5SetAB, (ConnectionRecord * record, int32_t count, uint8_t * data))                                  \
    X(S5SPAus, (ConnectionRecord * record, int32_t * first, int32_t * second))                              \
    X(S5Ustack, (ConnectionRecord * record, S5InterruptRecord * records, int16_t * count))                  \
    X(S5UstackEx, (ConnectionRecord * record, uint16_t * words, int32_t recordWords, int16_t * extra,       \
                   int16_t * count))                                                                        \
    X(S5Ustack945, (ConnectionRecord * record, uint8_t * buffer))                                           \
    X(S5BStack, (ConnectionRecord * record, int16_t * count, uint16_t * words))                             \
    X(S5OpenAll, (void))                                                                                    \
    X(S5CloseAll, (void))                                                                                   \
    X(S5GetBaudrate, (ConnectionRecord * record))                                                           \
    X(S5SetBaudrate, (ConnectionRecord * record, int32_t rateCode))                                         \
    X(S5GetAdapterName, (int32_t index, char* buffer /* 64 bytes */, int32_t reserved))                     \
    X(S5SetAdapterName, (const char* name))                                                                 \
    X(WEP, (int32_t reserved))                                                                              \
    X(NewMPILanCom, (const char* address, int32_t receiveTimeoutMs, int32_t sendTimeoutMs,                  \
                     int32_t connectTimeoutMs, int16_t kind, uint32_t localAddress, uint32_t netMask))
/* clang-format on */

/* Function pointer types, one per export: Tarn5S5InitFn, Tarn5S5RdBstFn, ... */
#define TARN5_DECLARE_FN_TYPE(name, params) typedef int32_t(*Tarn5##name##Fn) params;
#define TARN5_DECLARE(name, params) VAULTRA_API int32_t name params;
TARN5_FUNCTIONS(TARN5_DECLARE_FN_TYPE)
/* A caller that binds by name and also includes tarn7.h (whose libTARN7RFC.so prototypes carry the same
 * S5 names) defines VAULTRA_TARN5_TYPES_ONLY and gets the pointer types without the prototypes. */
#ifndef VAULTRA_TARN5_TYPES_ONLY
TARN5_FUNCTIONS(TARN5_DECLARE)
#endif
#undef TARN5_DECLARE_FN_TYPE
#undef TARN5_DECLARE

/* The two exports that do not return a result. */
typedef void (*Tarn5S5FlushComFn)(ConnectionRecord* record);
typedef void* (*Tarn5ComGetHandleFn)(uint16_t port);
#ifndef VAULTRA_TARN5_TYPES_ONLY
VAULTRA_API void S5FlushCom(ConnectionRecord* record);
VAULTRA_API void* ComGetHandle(uint16_t port);
#endif

#ifdef __cplusplus
}
#endif

#endif
