// Owns one COM reference; released on every way out.
#pragma once

template <class T>
class ComRef {
public:
    ComRef() = default;
    explicit ComRef(T* p) : m_p(p) {}
    ~ComRef()
    {
        if (m_p)
            m_p->Release();
    }
    ComRef(const ComRef&) = delete;
    ComRef& operator=(const ComRef&) = delete;

    T* Get() const { return m_p; }
    T** Out() { return &m_p; }

private:
    T* m_p = nullptr;
};
