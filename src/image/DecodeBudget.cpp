#include "DecodeBudget.h"

#include "ImageCodec.h"

#include <utility>

namespace vk {

DecodeBudget::Lease::Lease(Lease &&other) noexcept
    : m_budget(std::exchange(other.m_budget, nullptr)), m_bytes(std::exchange(other.m_bytes, 0))
{
}

DecodeBudget::Lease &DecodeBudget::Lease::operator=(Lease &&other) noexcept
{
    if (this != &other) {
        release();
        m_budget = std::exchange(other.m_budget, nullptr);
        m_bytes = std::exchange(other.m_bytes, 0);
    }
    return *this;
}

DecodeBudget::Lease::~Lease()
{
    release();
}

void DecodeBudget::Lease::release()
{
    if (m_budget)
        m_budget->give(m_bytes);
    m_budget = nullptr;
    m_bytes = 0;
}

DecodeBudget::DecodeBudget(qint64 limit) : m_limit(qMax<qint64>(0, limit)) {}

DecodeBudget::Lease DecodeBudget::acquire(qint64 bytes)
{
    if (bytes <= 0)
        return Lease();
    std::unique_lock<std::mutex> lock(m_mutex);
    const quint64 ticket = m_nextTicket++;
    auto room = [&] { return ticket == m_serving && (m_held == 0 || m_held + bytes <= m_limit); };
    if (!room()) {
        if (m_observer)
            m_observer(bytes);
        m_changed.wait(lock, room);
    }
    m_held += bytes;
    m_peak = qMax(m_peak, m_held);
    ++m_serving;
    // The next in line may fit beside this one.
    m_changed.notify_all();
    return Lease(this, bytes);
}

void DecodeBudget::give(qint64 bytes)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_held -= bytes;
    }
    m_changed.notify_all();
}

qint64 DecodeBudget::limit() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_limit;
}

void DecodeBudget::setLimit(qint64 bytes)
{
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_limit = qMax<qint64>(0, bytes);
    }
    m_changed.notify_all();
}

qint64 DecodeBudget::held() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_held;
}

qint64 DecodeBudget::peak() const
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    return m_peak;
}

void DecodeBudget::resetPeak()
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_peak = m_held;
}

void DecodeBudget::setWaitObserver(std::function<void(qint64)> observer)
{
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_observer = std::move(observer);
}

DecodeBudget &decodeBudget()
{
    static DecodeBudget budget(DefaultDecodeBudget);
    return budget;
}

} // namespace vk
