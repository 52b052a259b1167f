#ifndef WIRELET_H
#define WIRELET_H

/* Transport library: carries download packets between the program and a
 * projector board over the board's device node (a character device or a
 * pseudo-terminal standing in for one).
 *
 * The wire
 * --------
 * Everything the library sends or receives travels in frames. A frame is a
 * 24-byte header followed by `length` payload bytes; the header's multi-byte
 * fields are little-endian whatever the byte order the board states for the
 * packets it carries:
 *
 *   offset 0   1 byte   'W' (WIRELET_FRAME_MAGIC0)
 *   offset 1   1 byte   'L' (WIRELET_FRAME_MAGIC1)
 *   offset 2   1 byte   frame type (WIRELET_FRAME_*)
 *   offset 3   1 byte   flags: the `flags` argument of CommSendData, 0 otherwise
 *   offset 4   4 bytes  payload length, at most what the frame may carry (below)
 *   offset 8   4 bytes  connection id
 *   offset 12  4 bytes  sequence number
 *   offset 16  4 bytes  frame check: CRC-32 of bytes 0 to 15 followed by the payload
 *   offset 20  4 bytes  header check: CRC-32 of bytes 0 to 19
 *
 * CRC-32 is the common one (reflected polynomial WIRELET_CRC32_POLYNOMIAL,
 * initial value and final exclusive-or 0xFFFFFFFF; "123456789" gives
 * 0xCBF43926).
 *
 * Who sent a frame is in its type: the host sends HELLO, DATA and BYE, the
 * board HELLO_ACK and ANSWER, and each end drops every frame of its own kind.
 * So a line that only echoes what the host sends (a dead board on a looped-
 * back line) never answers a packet: the host's own DATA frame coming back
 * is no ANSWER.
 *
 * Connections and sequence numbers: CommConnect picks a new nonzero random
 * connection id and sends it in every frame of that connection; the board
 * puts the id of the HELLO it answers in every frame it sends back. The host
 * numbers its DATA frames 1, 2, ... within a connection (HELLO, HELLO_ACK and
 * BYE carry 0), and the board's ANSWER to a DATA frame carries that frame's
 * number. The host takes exactly one answer per DATA frame: the one to the
 * frame it sent last. Frames of an earlier connection and a HELLO_ACK for
 * another HELLO are dropped; within the connection, a second answer or an
 * answer to any other packet makes CommReceiveData fail with
 * WIRELET_ERR_PROTOCOL.
 *
 * What a frame may carry: no more than the connection can. The host takes a
 * payload of at most WIRELET_HELLO_ACK_SIZE bytes until the handshake is
 * answered, then at most the largest packet the board stated; the board takes
 * at most WIRELET_HELLO_SIZE bytes outside a connection and at most the
 * largest packet it stated within one. Neither takes more than
 * WIRELET_MAX_FRAME_PAYLOAD.
 *
 * Finding frames: a receiver looks for the magic. A header counts only when
 * its header check matches and its length is within what the frame may
 * carry; a frame counts only when its frame check matches too. Otherwise the
 * receiver moves on by one byte and looks for the magic again. Once a header
 * counts, the receiver takes its whole payload, whatever bytes it holds (a
 * firmware image may hold anything, frame headers and the identity query
 * included), and looks again only behind a header whose frame turned out bad.
 * A sender that gives up a frame half-way (its call's timeout passed) owes
 * the rest: before its next frame, and on CommDisconnect or CommClose while
 * the connection's time lasts, the library sends that many zero bytes, so
 * the frame ends damaged instead of swallowing what follows. What is still
 * unsent when the node is closed is dropped; the board gives up a frame
 * whose bytes stop for WIRELET_STALLED_FRAME_MS and looks again one byte
 * behind its start.
 *
 * The magic keeps frames apart from the 16-byte identity query that the
 * program writes to the same node outside any connection (53 51 00 00 FF FF
 * FF FF and eight zeros); bytes that start neither are skipped by both ends.
 *
 * Handshake (CommConnect):
 *   host  -> board  HELLO, 4-byte payload: version (WIRELET_WIRE_VERSION),
 *                   mode (CommConnect's `mode`), option flags (the byte
 *                   CommConnect's `options` points to), 0
 *   board -> host   HELLO_ACK, 8-byte payload: version, byte order
 *                   (nonzero: little-endian, 0: big-endian), 0, 0, largest
 *                   packet size in bytes, little-endian uint32
 * Data: each CommSendData is one DATA frame whose payload is the caller's
 * bytes. The board answers each with one ANSWER frame, which CommReceiveData
 * hands out as one message. CommDisconnect (and CommClose on a connected
 * handle) sends BYE, no payload, which the board does not answer.
 *
 * Time: CommConnect and CommSendData each start the connection's time, the
 * timeout given to CommOpen; the receives of the packet's answer, and a
 * CommDisconnect or CommClose that follows, share what is left of it. So a
 * packet's whole exchange, and the goodbye behind it, ends within one timeout,
 * also on a node that never stops delivering bytes, and whatever the node's
 * reads and writes return. Once the time is up a call still does what the
 * node takes or gives at once, but no longer waits. CommClose lets a line
 * send what it holds while the time lasts, then drops the rest, so that
 * closing never waits for a board that stopped reading.
 *
 * Every call returns WIRELET_OK (0) or one of the nonzero codes of
 * WireletResult; no call lets a C++ exception out. An unknown or closed
 * handle is WIRELET_ERR_HANDLE. */

#include <stdint.h>

/* Calling convention of the seven calls. The Windows library that comes with
 * the board's driver does not document its own; C's is assumed, and a build
 * can name another one (CMake option TISKAR_WIRELET_CALL, e.g. __stdcall). */
#ifndef WIRELET_CALL
#define WIRELET_CALL
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Frame header. */
#define WIRELET_FRAME_MAGIC0 0x57 /* 'W' */
#define WIRELET_FRAME_MAGIC1 0x4C /* 'L' */
#define WIRELET_FRAME_HEADER_SIZE 24
#define WIRELET_FRAME_TYPE_OFFSET 2
#define WIRELET_FRAME_FLAGS_OFFSET 3
#define WIRELET_FRAME_LENGTH_OFFSET 4
#define WIRELET_FRAME_CONNECTION_OFFSET 8
#define WIRELET_FRAME_SEQUENCE_OFFSET 12
#define WIRELET_FRAME_CHECK_OFFSET 16
#define WIRELET_FRAME_HEADER_CHECK_OFFSET 20
#define WIRELET_CRC32_POLYNOMIAL 0xEDB88320u
/* Largest payload either end accepts in one frame, whatever the board states. */
#define WIRELET_MAX_FRAME_PAYLOAD (64u * 1024u * 1024u)

/* Frame types. */
#define WIRELET_FRAME_HELLO 0x01
#define WIRELET_FRAME_HELLO_ACK 0x02
#define WIRELET_FRAME_DATA 0x03
#define WIRELET_FRAME_BYE 0x04
#define WIRELET_FRAME_ANSWER 0x05 /* the board's answer to a DATA frame */

/* How long the board waits for the rest of a frame whose bytes stopped. */
#define WIRELET_STALLED_FRAME_MS 2000

/* Handshake payloads. */
#define WIRELET_WIRE_VERSION 3
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
    WIRELET_ERR_ARGUMENT = 1,   /* null pointer, zero length or unknown mode */
    WIRELET_ERR_PORT = 2,       /* a port other than 0 */
    WIRELET_ERR_OPEN = 3,       /* the node cannot be opened or is no character device */
    WIRELET_ERR_BUSY = 4,       /* another process holds the node */
    WIRELET_ERR_HANDLE = 5,     /* unknown or closed handle */
    WIRELET_ERR_STATE = 6,      /* not connected, or already connected */
    WIRELET_ERR_TIMEOUT = 7,    /* the board did not take or give the bytes in time */
    WIRELET_ERR_HANGUP = 8,     /* the board went away (end of file, hang-up) */
    WIRELET_ERR_IO = 9,         /* any other failure of the node */
    WIRELET_ERR_PROTOCOL = 10,  /* the board's answer breaks the wire rules */
    WIRELET_ERR_OPTION = 11,    /* unknown option */
    WIRELET_ERR_TOO_LARGE = 12, /* more bytes than the board's largest packet or a frame holds */
    WIRELET_ERR_NO_MEMORY = 13, /* the library could not get the memory the call needs */
    WIRELET_ERR_INTERNAL = 14   /* any other failure inside the library (e.g. no random source
                                 * for the connection id); the call had no further effect */
} WireletResult;

/* Opens the board's node at `path`, which must be a character device (a
 * file, FIFO or directory is WIRELET_ERR_OPEN); `port` must be 0. Takes an
 * exclusive lock on the node, so a board in use by another process is
 * refused (WIRELET_ERR_BUSY). Writes a new nonzero handle. `flags` is reserved (0);
 * `timeoutMs` is the connection's time (see Time above). */
int WIRELET_CALL CommOpen(const char *path, int port, uint32_t *handle, int flags, int timeoutMs);
/* Handshake; `mode` must be WIRELET_MODE_BLOCKS; `options` (may be null:
 * 0) is passed to the board. The reserved arguments are ignored. */
int WIRELET_CALL CommConnect(uint32_t handle, int mode, uint8_t *options, int reserved1, int reserved2);
/* Reports what the board stated in the handshake; only when connected. */
int WIRELET_CALL CommGetOption(uint32_t handle, int option, int32_t *value);
/* Sends `length` bytes as one block; all or nothing. `mode` must be
 * WIRELET_MODE_BLOCKS; `flags` travels in the frame header. More than the
 * board's largest packet or WIRELET_MAX_FRAME_PAYLOAD is WIRELET_ERR_TOO_LARGE,
 * with nothing written. */
int WIRELET_CALL CommSendData(uint32_t handle, const void *data, uint32_t length, int mode, int flags);
/* Takes the board's answer to the packet sent last, one ANSWER frame, never
 * bytes of two answers. Waits for it when none of it was handed out yet.
 * Writes at most *length bytes of it, in order, and sets *length to the
 * number written; *more is nonzero while bytes of the same answer remain for
 * the next call. Once an answer was handed out whole, a further call waits
 * for an answer to a new packet, so it times out. On failure *length is 0
 * and nothing was taken from the answer. *status is 0 on success, else the
 * result code. A *length of 0 is WIRELET_ERR_ARGUMENT. */
int WIRELET_CALL CommReceiveData(uint32_t handle, void *buffer, uint32_t *length, uint8_t *more, uint8_t *status);
/* Ends the connection (the handle stays open and can connect again). */
int WIRELET_CALL CommDisconnect(uint32_t handle);
/* Disconnects if needed and releases the handle and the node. */
int WIRELET_CALL CommClose(uint32_t handle);

#ifdef __cplusplus
}
#endif

#endif
