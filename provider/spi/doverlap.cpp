#include "doverlap.h"

#include <stddef.h>
#include <string.h>

#include <new>

#include "spi_assert.h"

namespace {

const size_t kBlockRecords = 1000;

// A free record's signature field holds the next free record.
InternalOverlappedStruct* next_free(const InternalOverlappedStruct* record) {
    return reinterpret_cast<InternalOverlappedStruct*>(record->iolSignature);
}

void link_free(InternalOverlappedStruct* record, InternalOverlappedStruct* next) {
    record->iolSignature = reinterpret_cast<ULONG_PTR>(next);
}

}  // namespace

bool area_store(BufferArea& area, const WSABUF* buffers, DWORD count) {
    WSABUF* target = area.inlineBuffers;
    if (count > kInlineBuffers) {
        target = new (std::nothrow) WSABUF[count];
        if (!target) return false;
        area.heapBuffers = target;
    }
    if (count) memcpy(target, buffers, count * sizeof(WSABUF));
    return true;
}

void area_free(BufferArea& area, DWORD count) {
    if (count > kInlineBuffers) delete[] area.heapBuffers;
    area.heapBuffers = nullptr;
}

OverlappedManager::OverlappedManager() : m_block(nullptr), m_blockSize(0), m_free(nullptr) {
    InitializeCriticalSection(&m_lock);
}

OverlappedManager::~OverlappedManager() {
    delete[] m_block;
    DeleteCriticalSection(&m_lock);
}

bool OverlappedManager::Initialize() {
    m_blockSize = kBlockRecords * sizeof(InternalOverlappedStruct);
    m_block = new (std::nothrow) char[m_blockSize];
    if (!m_block) return false;
    memset(m_block, 0, m_blockSize);
    // Records are cut from the start while more than one record's worth of space remains.
    for (char* at = m_block; static_cast<size_t>(m_block + m_blockSize - at) > sizeof(InternalOverlappedStruct);
         at += sizeof(InternalOverlappedStruct)) {
        InternalOverlappedStruct* record = reinterpret_cast<InternalOverlappedStruct*>(at);
        link_free(record, m_free);
        m_free = record;
    }
    return true;
}

InternalOverlappedStruct* OverlappedManager::AllocateRecord() {
    EnterCriticalSection(&m_lock);
    InternalOverlappedStruct* record = m_free;
    if (record) m_free = next_free(record);
    LeaveCriticalSection(&m_lock);
    if (!record) return nullptr;
    memset(record, 0, sizeof(*record));
    record->iolSignature = STRUCTSIGNATURE;
    return record;
}

void OverlappedManager::FreeRecord(InternalOverlappedStruct* record) {
    VTLSP_ASSERT(STRUCTSIGNATURE == record->iolSignature,
                 "STRUCTSIGNATURE == InternalOverlappedStruct->iolSignature", "doverlap");
    EnterCriticalSection(&m_lock);
    link_free(record, m_free);
    m_free = record;
    LeaveCriticalSection(&m_lock);
}

InternalOverlappedStruct* OverlappedManager::FindRecord(LPWSAOVERLAPPED lowerOverlapped) {
    // Only an address inside the block, at a record's lower overlapped structure, is looked at.
    const char* at = reinterpret_cast<const char*>(lowerOverlapped);
    const size_t offset = offsetof(InternalOverlappedStruct, lowerOverlapped);
    if (!m_block || at < m_block + offset || at >= m_block + m_blockSize) return nullptr;
    const size_t position = static_cast<size_t>(at - m_block) - offset;
    if (position % sizeof(InternalOverlappedStruct) != 0 ||
        position + sizeof(InternalOverlappedStruct) > m_blockSize)
        return nullptr;
    InternalOverlappedStruct* record = reinterpret_cast<InternalOverlappedStruct*>(m_block + position);
    return record->iolSignature == STRUCTSIGNATURE ? record : nullptr;
}
