#ifndef WIRELET_H
#define WIRELET_H

/* Transport library: carries download packets between the program and a
 * projector board over the board's device node (a character device or a
 * pseudo-terminal standing in for one).
 *
 * The wire
 * --------
 * Everything the library sends or receives travels in frames. A frame is an
 * 8-byte header followed by `length` payload bytes; the header's multi-byte
 * field is little-endian whatever the byte order the board states for the
 * packets it carries:
 *
 *   offset 0  1 byte   'W' (WIRELET_FRAME_MAGIC0)
 *   offset 1  1 byte   'L' (WIRELET_FRAME_MAGIC1)
 *   offset 2  1 byte   frame type (WIRELET_FRAME_*)
 *   offset 3  1 byte   flags: the `flags` argument of CommSendData, 0 otherwise
 *   offset 4  4 bytes  payload length, little-endian
 *
 * The magic keeps frames apart from the 16-byte identity query that the
 * program writes to the same node outside any connection (it starts with
 * 'S' 'Q'); bytes that do not start a frame are skipped by both ends.
 *
 * Handshake (CommConnect):
 *   host  -> board  HELLO, 4-byte payload: version (WIRELET_WIRE_VERSION),
 *                   mode (CommConnect's `mode`), option flags (the byte
 *                   CommConnect's `options` points to), 0
 *   board -> host   HELLO_ACK, 8-byte payload: version, byte order
 *                   (nonzero: little-endian, 0: big-endian), 0, 0, largest
 *                   packet size in bytes, little-endian uint32
 * Data: each CommSendData is one DATA frame whose payload is the caller's
 * bytes. The board's answers come back as DATA frames; CommReceiveData hands
 * out their payload bytes as one stream, exactly as many as asked for.
 * CommDisconnect (and CommClose on a connected handle) sends BYE, no payload,
 * which the board does not answer.
 *
 * Every blocking call is bounded by the timeout given to CommOpen; it covers
 * the whole call, not each read or write. Every call returns WIRELET_OK (0) or
 * one of the nonzero codes of WireletResult. An unknown or closed handle is
 * WIRELET_ERR_HANDLE. */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Frame header. */
#define WIRELET_FRAME_MAGIC0 0x57 /* 'W' */
#define WIRELET_FRAME_MAGIC1 0x4C /* 'L' */
#define WIRELET_FRAME_HEADER_SIZE 8
#define WIRELET_FRAME_TYPE_OFFSET 2
#define WIRELET_FRAME_FLAGS_OFFSET 3
#define WIRELET_FRAME_LENGTH_OFFSET 4
/* Largest payload either end accepts in one frame. */
#define WIRELET_MAX_FRAME_PAYLOAD (64u * 1024u * 1024u)

/* Frame types. */
#define WIRELET_FRAME_HELLO 0x01
#define WIRELET_FRAME_HELLO_ACK 0x02
#define WIRELET_FRAME_DATA 0x03
#define WIRELET_FRAME_BYE 0x04

/* Handshake payloads. */
#define WIRELET_WIRE_VERSION 1
#define WIRELET_HELLO_SIZE 4
#define WIRELET_HELLO_ACK_SIZE 8
#define WIRELET_ACK_ORDER_OFFSET 1
#define WIRELET_ACK_MAX_PACKET_OFFSET 4

/* The only connection and send mode: acknowledged blocks. */
#define WIRELET_MODE_BLOCKS 66

/* Only port 0 (the board's own node) exists. */
#define WIRELET_PORT_NODE 0

/* CommGetOption options. */
#define WIRELET_OPTION_MAX_PACKET 1  /* largest packet size, header included */
#define WIRELET_OPTION_BYTE_ORDER 16 /* nonzero: little-endian, 0: big-endian */

typedef enum WireletResult {
    WIRELET_OK = 0,
    WIRELET_ERR_ARGUMENT = 1,  /* null pointer, zero length or unknown mode */
    WIRELET_ERR_PORT = 2,      /* a port other than 0 */
    WIRELET_ERR_OPEN = 3,      /* the node cannot be opened */
    WIRELET_ERR_BUSY = 4,      /* another process holds the node */
    WIRELET_ERR_HANDLE = 5,    /* unknown or closed handle */
    WIRELET_ERR_STATE = 6,     /* not connected, or already connected */
    WIRELET_ERR_TIMEOUT = 7,   /* the board did not take or give the bytes in time */
    WIRELET_ERR_HANGUP = 8,    /* the board went away (end of file, hang-up) */
    WIRELET_ERR_IO = 9,        /* any other failure of the node */
    WIRELET_ERR_PROTOCOL = 10, /* the board's answer breaks the wire rules */
    WIRELET_ERR_OPTION = 11,   /* unknown option */
    WIRELET_ERR_TOO_LARGE = 12 /* more bytes than the board's largest packet */
} WireletResult;

/* Opens the board's node at `path`; `port` must be 0. Takes an exclusive
 * lock on the node, so a board in use by another process is refused
 * (WIRELET_ERR_BUSY). Writes a new nonzero handle. `flags` is reserved (0);
 * `timeoutMs` bounds every later blocking call on the handle. */
int CommOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs);
/* Handshake; `mode` must be WIRELET_MODE_BLOCKS; `options` (may be null:
 * 0) is passed to the board. The reserved arguments are ignored. */
int CommConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2);
/* Reports what the board stated in the handshake; only when connected. */
int CommGetOption(uint32_t handle, int option, int32_t *value);
/* Sends `length` bytes as one block; all or nothing. `mode` must be
 * WIRELET_MODE_BLOCKS; `flags` travels in the frame header. */
int CommSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags);
/* Reads exactly *length bytes of what the board sent. On success *length
 * is unchanged and *more is nonzero when further received bytes are already
 * waiting; on failure *length is 0 and nothing was taken from the stream.
 * *status is 0 on success, else the result code. */
int CommReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status);
/* Ends the connection (the handle stays open and can connect again). */
int CommDisconnect(uint32_t handle);
/* Disconnects if needed and releases the handle and the node. */
int CommClose(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
