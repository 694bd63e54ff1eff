/* A station-like backup written in C: loads a driver library by file name, resolves the names the
 * station binds and reads the whole program of the PLC into <TYPE><number>.blk files. */
#ifndef VAULTRA_TESTS_C_BACKUP_H
#define VAULTRA_TESTS_C_BACKUP_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CBackupJob {
    const char* libraryPath;
    int s5Names;            /* 1: the ISO-on-TCP library's S5-prefixed names */
    const char* lanAddress; /* NewMPILanCom target, or NULL for a serial port */
    int16_t lanKind;
    uint16_t serialPort;
    uint16_t plcAddress;
    uint8_t rackSlot;
    const char* password; /* NULL or empty: none */
    const char* outDir;
    /* results */
    int blocks;
    char missing[512]; /* names the library does not export, space-separated */
    char message[256];
} CBackupJob;

/* The station's encoding of a PLC password into the 8 bytes S7DoPassword sends. */
void CBackupEncodePassword(const char* text, uint8_t out[8]);

/* 1 when every block of every type was read and written, else 0 with a message. */
int CBackupRun(CBackupJob* job);

#ifdef __cplusplus
}
#endif

#endif
