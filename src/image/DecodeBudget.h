// The memory every thread that decodes or encodes a picture draws on. A picture's pixels
// are held at full size while it is read (even for a thumbnail), so a handful of large
// pictures read at once would need several times the memory of one; a budget shared by
// all of them keeps the peak at the budget, however many cores the machine has.
//
// A request is for the bytes an operation will hold at once (decoded pixels, the image
// library's pixel cache, a copy of the file it is handed). It waits until those bytes fit
// beside what the others hold; a request larger than the whole budget waits until nothing
// else is held and then runs alone, so every picture within the program's limits is read
// whatever else is being read, only later. Requests are served in the order they come, so a
// large one is not passed over for ever by small ones.
//
// A lease must not be requested while the same thread holds another: it could wait for
// itself.
#pragma once

#include <QtGlobal>

#include <condition_variable>
#include <functional>
#include <mutex>

namespace vk {

class DecodeBudget
{
public:
    explicit DecodeBudget(qint64 limit);
    DecodeBudget(const DecodeBudget &) = delete;
    DecodeBudget &operator=(const DecodeBudget &) = delete;

    // What is held, released when the lease ends.
    class Lease
    {
    public:
        Lease() = default;
        Lease(Lease &&other) noexcept;
        Lease &operator=(Lease &&other) noexcept;
        ~Lease();
        void release();
        qint64 bytes() const { return m_bytes; }

    private:
        friend class DecodeBudget;
        Lease(DecodeBudget *budget, qint64 bytes) : m_budget(budget), m_bytes(bytes) {}
        DecodeBudget *m_budget = nullptr;
        qint64 m_bytes = 0;
    };

    // Waits for room for `bytes` (see above) and holds them. A request of nothing is
    // granted at once.
    Lease acquire(qint64 bytes);

    qint64 limit() const;
    // A smaller limit lets requests already granted run on; later ones wait for it.
    void setLimit(qint64 bytes);
    qint64 held() const;
    // The most held at once since the last resetPeak().
    qint64 peak() const;
    void resetPeak();

    // Called on the requesting thread, once for each request that has to wait, with the
    // bytes it asks for; it must not call back into the budget. For tests that need to know
    // a decode is waiting without sleeping on it.
    void setWaitObserver(std::function<void(qint64 bytes)> observer);

private:
    void give(qint64 bytes);

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    qint64 m_limit;
    qint64 m_held = 0;
    qint64 m_peak = 0;
    quint64 m_nextTicket = 0; // handed to each request in turn
    quint64 m_serving = 0;    // the ticket whose turn it is
    std::function<void(qint64)> m_observer;
};

// The budget every decoder and encoder in the program shares.
DecodeBudget &decodeBudget();

} // namespace vk
