#include "CDiscBurner.h"

HRESULT CDiscBurner::Init()
{
    m_bInitialized = FALSE;
    return E_NOTIMPL;
}
