#pragma once

#include <cstdint>

// A block of bytes handed between producer and receiver: the producer
// allocates it with AllocStreamBuf, the receiver frees it with FreeStreamBuf.
typedef struct tagSTREAMBUF
{
    uint32_t length;
    unsigned char* data;
} STREAMBUF;

// Allocates b.length bytes into b.data; 0, or 0x80000002 without memory.
uint32_t AllocStreamBuf(tagSTREAMBUF& b);
// Frees b.data if set and empties the record; always 0.
uint32_t FreeStreamBuf(tagSTREAMBUF& b);
