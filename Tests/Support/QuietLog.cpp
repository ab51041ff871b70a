// Boost.Log prints every record to the console while no sink is registered. The library's records
// only matter to the tests that capture them (LogCapture), so every test program registers one sink
// that drops everything, for the life of the process.
#include <boost/log/core.hpp>
#include <boost/log/sinks/basic_sink_backend.hpp>
#include <boost/log/sinks/unlocked_frontend.hpp>
#include <boost/make_shared.hpp>

namespace {

struct DiscardBackend
    : public boost::log::sinks::basic_sink_backend<boost::log::sinks::concurrent_feeding>
{
    void consume(const boost::log::record_view&) { }
};

const bool kDiscardInstalled = [] {
    boost::log::core::get()->add_sink(
        boost::make_shared<boost::log::sinks::unlocked_sink<DiscardBackend>>());
    return true;
}();

}  // namespace
