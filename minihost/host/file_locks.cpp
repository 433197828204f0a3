#include "minihost/host/file_locks.h"

#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>

#include "minihost/host/filesystem.h"

namespace minihost {
namespace {

// The locks held now: per file, the readers' count, or -1 for its writer.
class lock_table {
public:
    void acquire(const std::string& key, file_lock_manager::lock_mode mode, abort_callback& abort) {
        std::unique_lock lock(mutex_);
        while (!can_take(key, mode)) {
            abort.check();
            released_.wait_for(lock, std::chrono::milliseconds(10));
        }
        holders_[key] += mode == file_lock_manager::mode_write ? -1 : 1;
    }
    void release(const std::string& key, file_lock_manager::lock_mode mode) {
        {
            std::lock_guard lock(mutex_);
            const auto found = holders_.find(key);
            if (mode == file_lock_manager::mode_write || --found->second == 0) holders_.erase(found);
        }
        released_.notify_all();
    }

private:
    bool can_take(const std::string& key, file_lock_manager::lock_mode mode) const {
        const auto found = holders_.find(key);
        if (found == holders_.end()) return true;
        return mode == file_lock_manager::mode_read && found->second > 0;
    }

    std::mutex mutex_;
    std::condition_variable released_;
    std::map<std::string, int> holders_;
};

class held_lock : public service_base {
public:
    static constexpr GUID class_guid = {0x6C0E3B57, 0x92A4, 0x4F1D, {0x8E, 0x3B, 0x71, 0x5A, 0xC0, 0x2D, 0x94, 0xE6}};
    using parent_t = service_base;

    held_lock(std::shared_ptr<lock_table> table, std::string key, file_lock_manager::lock_mode mode)
        : table_(std::move(table)), key_(std::move(key)), mode_(mode) {}
    ~held_lock() { table_->release(key_, mode_); }

private:
    std::shared_ptr<lock_table> table_;  // outlives the service when a lock is held longer
    std::string key_;
    file_lock_manager::lock_mode mode_;
};

class file_lock_manager_impl : public file_lock_manager {
public:
    service_ptr acquire(const char* path, lock_mode mode, abort_callback& abort) override {
        std::string key = file_identity(path);
        table_->acquire(key, mode, abort);
        return service_ptr(new service_impl_t<held_lock>(table_, std::move(key), mode));
    }

private:
    std::shared_ptr<lock_table> table_ = std::make_shared<lock_table>();
};

}  // namespace

service_ptr make_file_lock_manager() { return service_ptr(new service_impl_t<file_lock_manager_impl>()); }

}  // namespace minihost
