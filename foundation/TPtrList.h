#pragma once

#include "CObject.h"

template <class T> struct TNode
{
    T* m_pData;
    TNode<T>* m_pNext;
};

// A singly linked list of pointers it does not own. Positions count from 1.
// The list carries one cursor for GetHead()/GetNext() walks, shared by every
// walk over the same list.
template <class T> class TPtrList : public CObject
{
public:
    TPtrList() = default;
    ~TPtrList() { RemoveAll(); }
    // Copies would share nodes and free them twice.
    TPtrList(const TPtrList&) = delete;
    TPtrList& operator=(const TPtrList&) = delete;

    void AppendTail(T* p)
    {
        if (!p)
            return;
        TNode<T>* node = new TNode<T>{p, nullptr};
        if (m_pTail)
            m_pTail->m_pNext = node;
        else
            m_pHead = node;
        m_pTail = node;
        ++m_nCount;
        m_pCurrent = m_pHead;
    }

    T* GetHead()
    {
        if (!m_pHead)
            return nullptr;
        m_pCurrent = m_pHead;
        return m_pCurrent->m_pData;
    }

    T* GetNext()
    {
        if (!m_pCurrent)
            return nullptr;
        m_pCurrent = m_pCurrent->m_pNext;
        return m_pCurrent ? m_pCurrent->m_pData : nullptr;
    }

    // A walk with the caller's own position, starting at 1; the position
    // becomes -1 once the tail has been returned.
    T* GetNext(int& pos)
    {
        if (pos <= 0)
            return nullptr;
        if (pos >= m_nCount)
        {
            m_pCurrent = nullptr;
            pos = -1;
            return m_pTail ? m_pTail->m_pData : nullptr;
        }
        TNode<T>* node = NodeAt(pos);
        m_pCurrent = node->m_pNext;
        ++pos;
        return node->m_pData;
    }

    T* GetAt(int i) const
    {
        TNode<T>* node = NodeAt(i);
        return node ? node->m_pData : nullptr;
    }

    bool Find(T* p) const { return FindIndex(p) != 0; }

    int FindIndex(T* p) const
    {
        int i = 1;
        for (TNode<T>* node = m_pHead; node; node = node->m_pNext, ++i)
        {
            if (node->m_pData == p)
                return i;
        }
        return 0;
    }

    void RemoveAt(int i)
    {
        if (i < 1 || i > m_nCount)
            return;
        TNode<T>* previous = i > 1 ? NodeAt(i - 1) : nullptr;
        TNode<T>* node = previous ? previous->m_pNext : m_pHead;
        if (previous)
            previous->m_pNext = node->m_pNext;
        else
            m_pHead = node->m_pNext;
        if (m_pTail == node)
            m_pTail = previous;
        if (m_pCurrent == node)
            m_pCurrent = node->m_pNext;
        delete node;
        --m_nCount;
    }

    void RemoveAll()
    {
        while (m_pHead)
        {
            TNode<T>* next = m_pHead->m_pNext;
            delete m_pHead;
            m_pHead = next;
        }
        m_nCount = 0;
        m_pTail = nullptr;
        m_pCurrent = nullptr;
    }

    int GetCount() const { return m_nCount; }
    bool IsEmpty() const { return m_nCount == 0; }

private:
    TNode<T>* NodeAt(int i) const
    {
        if (i < 1 || i > m_nCount)
            return nullptr;
        TNode<T>* node = m_pHead;
        while (--i > 0)
            node = node->m_pNext;
        return node;
    }

    int m_nCount = 0;
    TNode<T>* m_pHead = nullptr;
    TNode<T>* m_pTail = nullptr;
    TNode<T>* m_pCurrent = nullptr;
};

typedef TPtrList<void> CPtrList;
