#!/usr/bin/perl
# Dumps a dBase table with the XBase module: the field names and types, then
# one line per live record with every value as hex bytes ("-" for undef).
use strict;
use warnings;
use XBase;

my $table = XBase->new(name => $ARGV[0]) or die XBase->errstr, "\n";
print join(",", $table->field_names), "\n";
print join(",", $table->field_types), "\n";
print join(",", $table->field_lengths), "\n";
print join(",", $table->field_decimals), "\n";
for my $i (0 .. $table->last_record) {
    my ($deleted, @values) = $table->get_record($i);
    die XBase->errstr, "\n" unless defined $deleted;
    next if $deleted;
    print join(",", map { defined $_ ? unpack("H*", $_) : "-" } @values), "\n";
}
$table->close;
