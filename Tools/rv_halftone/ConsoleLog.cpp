#include "ConsoleLog.h"

#include <BoostLogWrapper/CustomBoostLog.h>

#include <boost/log/attributes/named_scope.hpp>
#include <boost/log/core.hpp>
#include <boost/log/expressions.hpp>
#include <boost/log/support/date_time.hpp>
#include <boost/log/utility/setup/console.hpp>

#include <iostream>

namespace logging = boost::log;
namespace expr = boost::log::expressions;

BOOST_LOG_ATTRIBUTE_KEYWORD(severity_keyword, "Severity", ESeverityLevel)

void AddConsoleLog(bool verbose)
{
    logging::core::get()->add_global_attribute("Scope", logging::attributes::named_scope());
    auto sink = logging::add_console_log(
        std::clog,
        logging::keywords::format =
            (expr::stream << "[" << severity_keyword << "] "
                          << expr::format_named_scope("Scope", logging::keywords::format = "%n",
                                                      logging::keywords::depth = 1)
                          << ": " << expr::smessage));
    sink->set_filter(severity_keyword >= (verbose ? SeverityLevel_Info : SeverityLevel_Error));
}
