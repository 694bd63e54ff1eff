/* Export macro shared by every Vaultra library: symbols are hidden by default and only the
 * documented functions are made visible. */
#ifndef VAULTRA_EXPORT_H
#define VAULTRA_EXPORT_H

#ifdef __cplusplus
#define VAULTRA_EXTERN_C extern "C"
#else
#define VAULTRA_EXTERN_C
#endif

#define VAULTRA_API VAULTRA_EXTERN_C __attribute__((visibility("default")))

#endif
