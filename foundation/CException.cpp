#include "CException.h"

namespace
{
const char kPrefix[] = "Exception:";
}

CException::CException() : m_Info(kPrefix) {}

CException::CException(const char* message) : m_Info(kPrefix)
{
    if (message)
        m_Info += message;
}

CException::CException(const CException& other)
    : CObject(other), std::exception(other), m_Info(other.m_Info)
{
}

CException::~CException() = default;
