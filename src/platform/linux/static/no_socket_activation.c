/* Linked only into a helper that takes libdbus-1 from its archive: that archive calls systemd's
 * socket activation, which only a bus server uses, and Debian ships no archive of libsystemd.
 * The helper is a bus client and is never started by socket activation: no sockets are passed
 * to it, and none of its descriptors is a listening socket of systemd's. */
int sd_listen_fds(int unset_environment);
int sd_is_socket(int fd, int family, int type, int listening);

int sd_listen_fds(int unset_environment) {
    (void)unset_environment;
    return 0;
}

int sd_is_socket(int fd, int family, int type, int listening) {
    (void)fd;
    (void)family;
    (void)type;
    (void)listening;
    return 0;
}
