#include "PacketSecrets.h"

#include "CMessage.h"
#include "CSingleUser.h"
#include "CUserGroup.h"
#include "CVirtualFolder.h"

#include <cstring>
#include <initializer_list>
#include <strings.h>

namespace
{
// Just after the count-th "@" from text on, or null when there are fewer.
const char* AfterSeparators(const char* text, int count)
{
    for (int i = 0; i < count && text; ++i)
    {
        text = strchr(text, '@');
        if (text)
            ++text;
    }
    return text;
}

// The methods whose arguments carry a password, named as the folders
// compare them, without regard to case.
bool TakesPassword(const char* method, size_t length)
{
    for (const char* name : {CUserGroup::kCreateUser, CSingleUser::kPassword})
    {
        if (strlen(name) == length && strncasecmp(method, name, length) == 0)
            return true;
    }
    return false;
}

// An invoke body, method@args, after skip fields (the code and its text
// that the reply's data line puts in front): where its args begin when
// they carry a password, else null.
const char* InvokeSecret(const char* body, int skip)
{
    const char* method = AfterSeparators(body, skip);
    const char* args = AfterSeparators(method, 1);
    return args && TakesPassword(method, static_cast<size_t>(args - method - 1)) ? args : nullptr;
}

const char* SecretIn(const CMessage& msg)
{
    const char* body = msg.m_strBody.GetBuffer();
    const bool bRequest = msg.m_nType != CMessage::kData && msg.m_nType != CMessage::kFinish;
    if (msg.m_nCommand == CVirtualFolder::kCmdAccess)
        return bRequest ? AfterSeparators(body, 1) : nullptr;
    if (msg.m_nCommand != CVirtualFolder::kCmdInvoke || msg.m_nType == CMessage::kFinish)
        return nullptr;
    return InvokeSecret(body, bRequest ? 0 : 2);
}
} // namespace

int PacketSecrets::SecretStart(const CMessage& msg)
{
    const char* secret = SecretIn(msg);
    return secret ? static_cast<int>(secret - msg.m_strBody.GetBuffer()) : -1;
}
