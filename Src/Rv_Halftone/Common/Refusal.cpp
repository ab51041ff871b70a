#include "Common/Refusal.h"

namespace rv_halftone {
namespace {

thread_local CRefusalListener* t_listener = nullptr;

}  // namespace

CRefusalListener::CRefusalListener() : m_outer(t_listener) { t_listener = this; }

CRefusalListener::~CRefusalListener() { t_listener = m_outer; }

bool RefusalWanted() { return t_listener != nullptr && t_listener->Reason().empty(); }

void StateRefusal(const std::string& reason)
{
    if (RefusalWanted())
        t_listener->m_reason = reason;
}

}  // namespace rv_halftone
