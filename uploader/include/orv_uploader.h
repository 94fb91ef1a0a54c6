/*
 * Orvane upload library: resumable uploads of large files to the Orvane
 * video platform.
 *
 * C interface. All texts are UTF-8, NUL-terminated. Every function may be
 * called from any thread unless noted otherwise. Handlers are called on the
 * library's own threads, never on the caller's thread, and never after
 * ORVUploaderDestroy (or ORVReleaseSdkLibrary) has returned. No function
 * throws: any function with an int result may return ORV_ERR_OUT_OF_MEMORY or
 * ORV_ERR_SYSTEM_RESOURCE, and a run that meets either ends with it.
 *
 * Call order:
 *   1. ORVSetSdkLogFile, ORVSetSdkLogLevel, ORVSetSdkCachePath,
 *      ORVSetSdkServiceUrl, then ORVInitSdkLibrary.
 *   2. After a successful init: ORVSetSdkHttpRequest, ORVSetSdkCacertFile,
 *      ORVSetSdkProxy, ORVSetSdkTrafficLimit (any time).
 *   3. Per upload: ORVUploaderCreate, ORVUploaderSetParam, ORVUploaderGetVID
 *      (ORVUploaderRelease + ORVUploaderSetVID to bind a stored id instead),
 *      the handlers, then ORVUploaderStart / ORVUploaderPause, then
 *      ORVUploaderDelete or ORVUploaderDestroy.
 *   4. At exit: destroy every handle, then ORVReleaseSdkLibrary.
 */
#ifndef ORV_UPLOADER_H
#define ORV_UPLOADER_H

#include <stdint.h>

#if defined(_WIN32)
#if defined(ORV_UPLOADER_BUILDING)
#define ORV_UPLOADER_API __declspec(dllexport)
#else
#define ORV_UPLOADER_API __declspec(dllimport)
#endif
#define ORV_CALL __cdecl
#else
#define ORV_UPLOADER_API __attribute__((visibility("default")))
#define ORV_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Result codes ------------------------------------------------------ */

enum ORVUploaderResult
{
    ORV_OK = 0,                    /* success                                     */
    ORV_ERR_INVALID_ARGUMENT = 1,  /* null handle, null/invalid argument          */
    ORV_ERR_FILE_NOT_EXIST = 2,    /* the file does not exist (or vanished)       */
    ORV_ERR_NOT_INITIALIZED = 3,   /* ORVInitSdkLibrary has not succeeded         */
    ORV_ERR_FILE_EMPTY = 4,        /* the file is empty                           */
    ORV_ERR_PAUSED = 5,            /* the run ended because of a pause            */
    ORV_ERR_CONNECTION = 6,        /* cannot connect ("ConnectionTimeout")        */
    ORV_ERR_TIMEOUT = 7,           /* request or socket time-out                  */
    ORV_ERR_SERVER = 8,            /* the server kept failing ("InternalError")   */
    ORV_ERR_PROTOCOL = 9,          /* unexpected answer ("http response parse error") */
    ORV_ERR_FILE_READ = 10,        /* the file cannot be opened or read           */
    ORV_ERR_ACCESS_DENIED = 11,    /* authentication refused ("AccessDenied")     */
    ORV_ERR_TOKEN = 12,            /* signature/time stamp refused ("TokenError") */
    ORV_ERR_UPLOAD_NOT_EXIST = 13, /* the server lost the upload ("UploadFileNotExist") */
    ORV_ERR_INVALID_DIGEST = 14,   /* a chunk checksum kept failing ("InvalidDigest") */
    ORV_ERR_BUSY = 15,             /* the handle is deleting or not ready         */
    ORV_ERR_INTERNAL = 16,         /* unexpected local failure ("InternalError")  */
    ORV_ERR_CANCELLED = 17,        /* the run was ended by a delete               */
    ORV_ERR_FILE_CHANGED = 18,     /* the file changed during the upload ("fileContentError") */
    ORV_ERR_CRC64_MISMATCH = 19,   /* the stored file's CRC-64 differs            */
    ORV_ERR_CACHE = 20,            /* the cache path cannot be used               */
    ORV_ERR_LOG_FILE = 21,         /* the log file cannot be opened               */
    ORV_ERR_OUT_OF_MEMORY = 22,    /* memory ran out                              */
    ORV_ERR_SYSTEM_RESOURCE = 23,  /* the system refused a thread or a lock       */
    ORV_ERR_NO_SPACE = 102,        /* not enough storage space ("CapacityOverLimit") */
    ORV_OK_ALREADY_STORED = 112,   /* success, nothing transferred (second pass)  */
    /* A platform error code E is reported as E + ORV_PLATFORM_CODE_BASE,
     * e.g. UPLOAD_PERMISSION_LIMITED (410) as 523. */
    ORV_PLATFORM_CODE_BASE = 113
};

/* ---- Types --------------------------------------------------------------- */

typedef struct ORVUploader* ORVUploaderHandle;

/* Copied by ORVUploaderSetParam; the caller may free it afterwards. */
typedef struct ORVUploaderParam
{
    const char* filePath;    /* local file (required)          */
    const char* title;       /* may be null or empty           */
    const char* description; /* may be null                    */
    const char* tags;        /* may be null                    */
    int64_t cateId;          /* category of the new video      */
    int32_t luping;          /* platform switch, sent as given */
    int32_t keepSource;      /* platform switch, sent as given */
} ORVUploaderParam;

/* increment: bytes since the previous report; uploadBytes never goes backwards
 * within a run. Reported at most every 100 ms, plus once at the end. */
typedef void(ORV_CALL* ORVProgressHandler)(int increment, int64_t uploadBytes, int64_t totalBytes,
                                           void* userData);
/* Once per run: success (0 or 112), failure, or pause (5). desc may be null. */
typedef void(ORV_CALL* ORVResultHandler)(int code, const char* desc, void* userData);
/* Once per ORVUploaderDelete. desc may be null. */
typedef void(ORV_CALL* ORVDeleteHandler)(int code, const char* desc, void* userData);

/* ---- Library-wide ------------------------------------------------------- */

/* Opens (appends to) the log file. Returns 0 or ORV_ERR_LOG_FILE. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkLogFile(const char* path);
/* Sets what goes into the log: 0 = nothing, 1 = errors, 2 = errors, warnings
 * and info, 3 = everything. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkLogLevel(int level);
/* Sets the folder for the per-upload state files that make uploads resumable
 * across process restarts, creating it when missing. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkCachePath(const char* path);
/* Sets the platform's base address, e.g. "https://127.0.0.1:8443" (the same
 * as for the REST API); uploads go to <baseUrl>/tus/files/. Only http and
 * https addresses are taken (else ORV_ERR_INVALID_ARGUMENT). Call before
 * ORVInitSdkLibrary. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkServiceUrl(const char* baseUrl);
/* Sets the account: uploads are signed with appSecret, which is never sent or
 * logged. Returns 0 when ready. May be called again after a release. */
ORV_UPLOADER_API int ORV_CALL ORVInitSdkLibrary(const char* userId, const char* appId, const char* appSecret);
/* Chooses the HTTP version: 1 = HTTP/1.0, 2 = HTTP/1.1, 3 = HTTP/2 when the
 * server offers it, else 1.1. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkHttpRequest(int mode);
/* Verifies servers with the CA bundle (PEM) at path instead of the default
 * one; an empty path restores the default. Peer and host verification are
 * always on. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkCacertFile(const char* path);
/* Sets or removes the proxy: type 0 removes it (other arguments ignored),
 * 1 sets an HTTP proxy; user/password may be null or empty. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkProxy(int type, const char* host, int port, const char* user,
                                             const char* password);
/* Limits the total upload rate to totalKBps KB/s (1 KB = 1024 bytes), shared
 * fairly by all running uploads; 0 = unlimited. The second argument is
 * reserved (pass 0). Takes effect within a second, also on running uploads. */
ORV_UPLOADER_API int ORV_CALL ORVSetSdkTrafficLimit(int totalKBps, int reserved);
/* The library's version, and the description of a result code: library-owned
 * texts, valid until the library is unloaded. */
ORV_UPLOADER_API const char* ORV_CALL ORVGetSdkVersion(void);
ORV_UPLOADER_API const char* ORV_CALL ORVGetSdkErrorDescription(int code);
/* Stops every upload still running (without callbacks) and forgets the
 * account. Returns after all library threads have stopped. */
ORV_UPLOADER_API void ORV_CALL ORVReleaseSdkLibrary(void);

/* ---- Per upload ---------------------------------------------------------- */

/* A new handle, or null when memory or a lock cannot be had. */
ORV_UPLOADER_API ORVUploaderHandle ORV_CALL ORVUploaderCreate(void);
/* Stops the run (no result callback), waits for the handle's threads, frees
 * the handle. The upload stays resumable. */
ORV_UPLOADER_API void ORV_CALL ORVUploaderDestroy(ORVUploaderHandle handle);
/* Checks the file (2 missing, 4 empty, 10 unreadable) and computes its vid
 * from a sample of its content, its size and modification time. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderSetParam(ORVUploaderHandle handle, const ORVUploaderParam* param);
/* 32 lower-case hex digits, "_" and one character; "" when none is bound.
 * Handle-owned, valid until the next SetParam/SetVID/Release/Destroy. */
ORV_UPLOADER_API const char* ORV_CALL ORVUploaderGetVID(ORVUploaderHandle handle);
/* Binds a known vid (for example one stored by the caller) so that its saved
 * upload state is used by Start and Delete. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderSetVID(ORVUploaderHandle handle, const char* vid);
/* Stops any run (no result callback) and unbinds the current vid. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderRelease(ORVUploaderHandle handle);
/* Starts or resumes the upload on a library thread. Returns at once;
 * ORV_ERR_SYSTEM_RESOURCE when the handle's thread cannot be started. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderStart(ORVUploaderHandle handle);
/* Pauses: the running run ends with result 5 within 200 ms. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderPause(ORVUploaderHandle handle);
/* Like pause, but the run ends without a result callback. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderStop(ORVUploaderHandle handle);
/* Asynchronous: stops the run (its result handler is not called), terminates
 * the upload on the server, removes the saved state, then calls the delete
 * handler. ORV_ERR_SYSTEM_RESOURCE when the handle's thread cannot be
 * started (then nothing was stopped). */
ORV_UPLOADER_API int ORV_CALL ORVUploaderDelete(ORVUploaderHandle handle);
/* Set the handler (null: none) and the userData passed to it with each call. */
ORV_UPLOADER_API int ORV_CALL ORVUploaderSetProgressHandler(ORVUploaderHandle handle,
                                                            ORVProgressHandler handler, void* userData);
ORV_UPLOADER_API int ORV_CALL ORVUploaderSetResultHandler(ORVUploaderHandle handle, ORVResultHandler handler,
                                                          void* userData);
ORV_UPLOADER_API int ORV_CALL ORVUploaderSetDeleteHandler(ORVUploaderHandle handle, ORVDeleteHandler handler,
                                                          void* userData);

#ifdef __cplusplus
}
#endif

#endif /* ORV_UPLOADER_H */
