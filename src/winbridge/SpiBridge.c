/* tavotavo-spi-bridge32.exe / tavotavo-spi-bridge64.exe FOLDER: the plug-in
 * host for Windows Susie plug-ins, run under Wine. It speaks the plug-in host
 * protocol on its standard input and output; FOLDER (a Unix path) holds the
 * region files that carry picture data and returned blocks.
 *
 * A plug-in that faults ends the bridge at once with the exit code a shell
 * gives a process ended by the matching signal (128 + the signal's number), so
 * that the viewer names the fault as it does for a native host. */
#include "BridgeCalls.h"
#include "BridgeChannel.h"
#include "BridgeRegions.h"

#include <string.h>

static UINT exitCodeOf(DWORD exception)
{
    switch (exception) {
    case EXCEPTION_ACCESS_VIOLATION:
    case EXCEPTION_STACK_OVERFLOW:
    case EXCEPTION_GUARD_PAGE:
    case EXCEPTION_ARRAY_BOUNDS_EXCEEDED:
        return 128 + 11; /* SIGSEGV */
    case EXCEPTION_IN_PAGE_ERROR:
    case EXCEPTION_DATATYPE_MISALIGNMENT:
        return 128 + 7; /* SIGBUS */
    case EXCEPTION_INT_DIVIDE_BY_ZERO:
    case EXCEPTION_INT_OVERFLOW:
    case EXCEPTION_FLT_DIVIDE_BY_ZERO:
    case EXCEPTION_FLT_INVALID_OPERATION:
    case EXCEPTION_FLT_OVERFLOW:
    case EXCEPTION_FLT_UNDERFLOW:
    case EXCEPTION_FLT_INEXACT_RESULT:
    case EXCEPTION_FLT_DENORMAL_OPERAND:
    case EXCEPTION_FLT_STACK_CHECK:
        return 128 + 8; /* SIGFPE */
    case EXCEPTION_ILLEGAL_INSTRUCTION:
    case EXCEPTION_PRIV_INSTRUCTION:
        return 128 + 4; /* SIGILL */
    default:
        return 128 + 6; /* SIGABRT */
    }
}

/* Runs instead of Wine's debugger and crash dialog. */
static LONG WINAPI endOnFault(EXCEPTION_POINTERS *fault)
{
    TerminateProcess(GetCurrentProcess(), exitCodeOf(fault->ExceptionRecord->ExceptionCode));
    return EXCEPTION_EXECUTE_HANDLER;
}

static BOOL serve(const BridgeMessage *message)
{
    switch (message->header.type) {
    case TAVO_MSG_LOAD: return handleLoad(message);
    case TAVO_MSG_UNLOAD: return handleUnload(message);
    case TAVO_MSG_PLUGIN_INFO: return handlePluginInfo(message);
    case TAVO_MSG_IS_SUPPORTED: return handleIsSupported(message);
    case TAVO_MSG_PICTURE_INFO: return handlePictureInfo(message);
    case TAVO_MSG_PICTURE: return handlePicture(message);
    default: return FALSE;
    }
}

int wmain(int argc, WCHAR **argv)
{
    /* No message box for a missing library or a fault: nobody would see it. */
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(endOnFault);
    if (argc != 2 || !channelOpen())
        return 2;
    char folder[TAVO_HOST_MAX_PATH + 1];
    const int length = WideCharToMultiByte(CP_UTF8, 0, argv[1], -1, folder, sizeof folder, NULL, NULL);
    if (length <= 1 || !regionsOpen(folder, (uint32_t)length - 1))
        return 2;
    callsInit();
    const TavoReady ready = {TAVO_HOST_PROTOCOL_VERSION, TAVO_HOST_KIND_WINDOWS};
    if (!channelWrite(TAVO_MSG_READY, 0, NULL, 0, &ready, sizeof ready, NULL, 0))
        return 1;
    BridgeMessage message;
    /* The viewer closing its end is the normal way to end. */
    while (channelRead(&message))
        if (!serve(&message))
            return 1;
    return 0;
}
