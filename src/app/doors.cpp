#include "app/doors.h"

#include "app/command_line.h"
#include "devices/single_instance.h"
#include "doors/control_server.h"

namespace plenvo {

QStringList open_doors(ControlServer& server, const CommandLine& options, const QString& program_dir)
{
    QStringList errors{server.listen_local(control_socket_path(program_dir))};
    if (options.listen)
        errors << server.listen_tcp(options.listen->first, options.listen->second);
    errors.removeAll(QString());
    return errors;
}

}  // namespace plenvo
