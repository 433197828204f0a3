#include "minihost/host/file_locks.h"

#include <algorithm>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "minihost/host/filesystem.h"

namespace minihost {
namespace {

// The locks held now: per file, its holders' threads (one at a time for a writer).
class lock_table {
public:
    void acquire(const std::string& key, file_lock_manager::lock_mode mode, abort_callback& abort) {
        const std::thread::id self = std::this_thread::get_id();
        std::unique_lock lock(mutex_);
        while (!can_take(key, mode)) {
            // Waiting for a lock that this thread holds itself would never end.
            if (std::count(holders_[key].threads.begin(), holders_[key].threads.end(), self))
                throw velmora_io::exception_io("The file is already locked by this same work");
            abort.check();
            released_.wait_for(lock, std::chrono::milliseconds(10));
        }
        holding& held = holders_[key];
        held.writing = mode == file_lock_manager::mode_write;
        held.threads.push_back(self);
    }
    void release(const std::string& key, std::thread::id holder) {
        {
            std::lock_guard lock(mutex_);
            const auto found = holders_.find(key);
            auto& threads = found->second.threads;
            threads.erase(std::find(threads.begin(), threads.end(), holder));
            if (threads.empty()) holders_.erase(found);
        }
        released_.notify_all();
    }

private:
    struct holding {
        bool writing = false;
        std::vector<std::thread::id> threads;
    };

    bool can_take(const std::string& key, file_lock_manager::lock_mode mode) const {
        const auto found = holders_.find(key);
        if (found == holders_.end() || found->second.threads.empty()) return true;
        return mode == file_lock_manager::mode_read && !found->second.writing;
    }

    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, holding> holders_;
};

class held_lock : public service_base {
public:
    static constexpr GUID class_guid = {0x6C0E3B57, 0x92A4, 0x4F1D, {0x8E, 0x3B, 0x71, 0x5A, 0xC0, 0x2D, 0x94, 0xE6}};
    using parent_t = service_base;

    held_lock(std::shared_ptr<lock_table> table, std::string key)
        : table_(std::move(table)), key_(std::move(key)), holder_(std::this_thread::get_id()) {}
    ~held_lock() { table_->release(key_, holder_); }

private:
    std::shared_ptr<lock_table> table_;  // outlives the service when a lock is held longer
    std::string key_;
    std::thread::id holder_;
};

class file_lock_manager_impl : public file_lock_manager {
public:
    service_ptr acquire(const char* path, lock_mode mode, abort_callback& abort) override {
        std::string key = file_identity(path);
        table_->acquire(key, mode, abort);
        return service_ptr(new service_impl_t<held_lock>(table_, std::move(key)));
    }

private:
    std::shared_ptr<lock_table> table_ = std::make_shared<lock_table>();
};

}  // namespace

service_ptr make_file_lock_manager() { return service_ptr(new service_impl_t<file_lock_manager_impl>()); }

}  // namespace minihost
