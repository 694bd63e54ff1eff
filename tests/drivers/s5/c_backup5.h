/* A station-like S5 backup written in C: loads a driver library by file name, binds every export by name
 * and reads the whole program of the PLC into <TYPE><number>.blk files. */
#ifndef VAULTRA_TESTS_C_BACKUP5_H
#define VAULTRA_TESTS_C_BACKUP5_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

typedef struct CBackup5Job {
    const char* libraryPath;
    const char* lanAddress; /* NewMPILanCom target, or NULL for a serial port */
    int16_t lanKind;
    uint16_t serialPort;
    const char* outDir;
    /* results */
    int exports;       /* names bound */
    int blocks;        /* blocks written */
    char missing[512]; /* names the library does not export, space-separated */
    char message[256];
} CBackup5Job;

/* 1 when every export was bound and every block of every type was read and written, else 0. */
int CBackup5Run(CBackup5Job* job);

#ifdef __cplusplus
}
#endif

#endif
