#!/usr/bin/env python3
"""The anchor for the feed benchmark: a plain asyncio WebSocket server on 127.0.0.1:PORT that
sends each line it reads on its standard input to every connected client with
websockets.broadcast(), the way a small home-made feed would."""
import asyncio
import sys

import websockets

CLIENTS = set()


async def handler(websocket, path=None):
    CLIENTS.add(websocket)
    try:
        await websocket.wait_closed()
    finally:
        CLIENTS.discard(websocket)


async def main(port):
    loop = asyncio.get_running_loop()
    reader = asyncio.StreamReader(limit=1 << 20)
    await loop.connect_read_pipe(lambda: asyncio.StreamReaderProtocol(reader), sys.stdin)
    async with websockets.serve(handler, "127.0.0.1", port, backlog=1024, compression=None):
        while line := await reader.readline():
            websockets.broadcast(CLIENTS, line.decode().rstrip("\n"))


if __name__ == "__main__":
    asyncio.run(main(int(sys.argv[1])))
