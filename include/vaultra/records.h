/* Caller-owned records shared by the station and every driver and file library.
 * The layouts are an interface between separately built programs: every field offset is asserted below.
 * All multi-byte fields are little-endian (host order on x86). */
#ifndef VAULTRA_RECORDS_H
#define VAULTRA_RECORDS_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
#define VAULTRA_STATIC_ASSERT(cond, msg) static_assert(cond, msg)
extern "C" {
#else
#define VAULTRA_STATIC_ASSERT(cond, msg) _Static_assert(cond, msg)
#endif

#pragma pack(push, 1)

/* The S5 driver's view of bytes 15..61 of the connection record. */
typedef struct ConnectionS5Area {
    uint16_t systemParams[22]; /* PLC description read by S5AGTest, in the order received */
    uint16_t systemWordBase;   /* base address of the SY/SW area; set by the caller */
    uint8_t recoveryState;     /* 0 or 0xFF, toggled by the S5 error recovery */
} ConnectionS5Area;

/* First argument of every driver function. The S7 and S5 drivers share the size and the positions of
 * connected, port and status; the bytes between them carry each family's own fields. */
typedef struct ConnectionRecord {
    int32_t connected;    /* 1 while the connection is open */
    uint8_t option;       /* S5: option byte (bit 0x01 long block-status entries); unused by S7 */
    uint16_t port;        /* link port: < 128 serial (COM number - 1), 128..255 LAN/ISO-on-TCP */
    uint8_t reserved7[3]; /* not used */
    uint16_t plcError;    /* S7: PLC error class<<8|code or expected control character; S5: last-response */
    uint8_t localAddress; /* S7: MPI address of the PC; unused by S5 */
    uint16_t status;      /* status word (S5: error word) of the last call */
    union {
        uint8_t statusArea[47]; /* S7: reset on every successful connect */
        ConnectionS5Area s5;    /* S5: system parameters and recovery state */
    } area;
    uint16_t plcAddress; /* S7: MPI address of the PLC (low byte); S5: PG-bus station (0 = direct) */
    uint8_t reserved64[4];
    uint8_t busSpeed;     /* S7: MPI bus speed code, 0 stands for 2 */
    uint8_t rackSlot;     /* S7: rack/slot byte of the PLC */
    uint32_t adapterMode; /* S7 serial adapter: 1 after init mode 1 (short adapter sequence) */
} ConnectionRecord;

/* Descriptor of one S7 block for the S7 block functions. */
typedef struct BlockRecord {
    uint8_t marker[2];   /* 0x70 0x70 */
    uint8_t type;        /* BlockTypeIndex when filled by the driver, BlockTypeCode for S7CreateBst */
    uint8_t number;      /* block number, low 8 bits */
    uint8_t mark;        /* 0x84 */
    uint8_t version;     /* block version byte (S7BstInfo), 0 otherwise */
    uint8_t reserved[2]; /* 0 */
    uint16_t length;     /* low 16 bits of the load-memory length, host order */
    uint8_t* image;      /* caller-owned buffer with the block image */
} BlockRecord;

/* Block record of the S5 block functions: the stored block's 10-byte header and a body buffer. */
typedef struct S5BlockRecord {
    uint8_t marker[2];      /* 0x70 0x70 */
    uint8_t type;           /* block type byte */
    uint8_t number;         /* block number */
    uint8_t headerBytes[4]; /* header byte 4 and the three further header bytes */
    uint16_t lengthWords;   /* block length in 16-bit words, including the 5-word header */
    uint8_t* body;          /* caller's buffer for the body: lengthWords * 2 - 10 bytes */
} S5BlockRecord;

/* Key of one block in an S5 program file, also the element of the file's block list. */
typedef struct BlockKey {
    uint8_t type;          /* type code */
    uint8_t number;        /* block number 0..255 */
    uint8_t documentation; /* 1 = documentation block "DO." */
    uint16_t length;       /* length in bytes */
    uint8_t headerByte4;   /* header byte 4 */
    uint8_t headerMore[3]; /* three further header bytes */
} BlockKey;

#pragma pack(pop)

VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, connected) == 0, "connected");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, option) == 4, "option");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, port) == 5, "port");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, plcError) == 10, "plcError");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, localAddress) == 12, "localAddress");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, status) == 13, "status");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, area) == 15, "status area");
VAULTRA_STATIC_ASSERT(sizeof(ConnectionS5Area) == 47, "S5 area");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, plcAddress) == 62, "plcAddress");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, busSpeed) == 68, "busSpeed");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, rackSlot) == 69, "rackSlot");
VAULTRA_STATIC_ASSERT(offsetof(ConnectionRecord, adapterMode) == 70, "adapterMode");
VAULTRA_STATIC_ASSERT(sizeof(ConnectionRecord) == 74, "ConnectionRecord size");

VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, type) == 2, "type");
VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, number) == 3, "number");
VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, mark) == 4, "mark");
VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, version) == 5, "version");
VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, length) == 8, "length");
VAULTRA_STATIC_ASSERT(offsetof(BlockRecord, image) == 10, "image");
VAULTRA_STATIC_ASSERT(sizeof(BlockRecord) == 10 + sizeof(void*), "BlockRecord size");

VAULTRA_STATIC_ASSERT(offsetof(S5BlockRecord, headerBytes) == 4, "headerBytes");
VAULTRA_STATIC_ASSERT(offsetof(S5BlockRecord, lengthWords) == 8, "lengthWords");
VAULTRA_STATIC_ASSERT(offsetof(S5BlockRecord, body) == 10, "body");

VAULTRA_STATIC_ASSERT(offsetof(BlockKey, documentation) == 2, "documentation");
VAULTRA_STATIC_ASSERT(offsetof(BlockKey, length) == 3, "length");
VAULTRA_STATIC_ASSERT(offsetof(BlockKey, headerByte4) == 5, "headerByte4");
VAULTRA_STATIC_ASSERT(offsetof(BlockKey, headerMore) == 6, "headerMore");
VAULTRA_STATIC_ASSERT(sizeof(BlockKey) == 9, "BlockKey size");

#ifdef __cplusplus
}
#endif

#endif
