# An SFTP server (asyncssh) with one password account in root-folder and a host key made at
# start, whose "SHA256:..." fingerprint and public key it writes out before it listens.
# Arguments: port user password root-folder fingerprint-file public-key-file
import asyncio
import sys
import warnings

warnings.filterwarnings("ignore", message=".*has been deprecated")  # asyncssh's old ciphers
import asyncssh  # noqa: E402

port, user, password, root, fingerprint_file, public_file = sys.argv[1:7]


class Server(asyncssh.SSHServer):
    def password_auth_supported(self):
        return True

    def validate_password(self, username, given):
        return username == user and given == password


async def main():
    key = asyncssh.generate_private_key("ssh-ed25519")
    with open(fingerprint_file, "w", encoding="ascii") as f:
        f.write(key.get_fingerprint("sha256"))
    with open(public_file, "wb") as f:
        f.write(key.export_public_key("openssh"))
    await asyncssh.listen("127.0.0.1", int(port), server_host_keys=[key], server_factory=Server,
                          sftp_factory=lambda chan: asyncssh.SFTPServer(chan, chroot=root.encode()))
    await asyncio.Event().wait()


asyncio.run(main())
